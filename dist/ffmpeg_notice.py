"""Writes what the release says about the ffmpeg.exe it carries.

  ffmpeg_notice.py PACKAGE_JSON PACKAGE_TGZ FFMPEG_EXE RELEASE_URL WEB_SITE CONFIGURATION NOTICE RECORD

NOTICE: the head of licenses/ffmpeg.txt (the GPL text follows it): which build this is and where
its complete source is offered. RECORD: ffmpeg-shipped.txt, the exact package, version and
checksums of what was shipped, so the offered source can be matched to it years later.
"""
import hashlib
import json
import sys


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.file_digest(f, "sha256").hexdigest()


def main(package_json, package_tgz, exe, release_url, web_site, configuration, notice, record):
    with open(package_json, encoding="utf-8") as f:
        meta = json.load(f)
    licence = meta.get("license")
    if licence not in ("GPLv3", "GPL-3.0", "GPL-3.0-or-later"):
        sys.exit(f"dist.sh: ffmpeg.exe's package declares licence {licence!r}; update the licence text")
    build = meta.get("ffmpeg")
    if not build:
        sys.exit("dist.sh: ffmpeg.exe's package does not name its FFmpeg build")
    source_url = f"{release_url}/source/ffmpeg-{build}/"
    exe_hash = sha256(exe)

    with open(notice, "w", encoding="utf-8", newline="\n") as f:
        f.write(
            f"ffmpeg.exe: FFmpeg build {build} for 64-bit Windows, from the npm package {meta['name']} "
            f"{meta['version']} ({meta.get('homepage', '')}).\n"
            f"SHA-256 of ffmpeg.exe: {exe_hash}\n"
            "\n"
            "FFmpeg is free software under the GNU General Public License, version 3. The complete\n"
            "corresponding source of this ffmpeg.exe (FFmpeg and every library its configuration below\n"
            "names, with the scripts that built it) is offered, at no charge, at\n"
            f"  {source_url}\n"
            f"for as long as this version of Tovasen is offered, and for at least three years; should\n"
            f"that address fail, ask the publisher through {web_site}.\n"
            "\n"
            f"Configuration: {configuration}\n"
            "\n"
            "The licence text follows.\n"
            "\n"
        )
    with open(record, "w", encoding="utf-8", newline="\n") as f:
        f.write(
            f"package: {meta['name']}\n"
            f"package version: {meta['version']}\n"
            f"package sha256: {sha256(package_tgz)}\n"
            f"ffmpeg build: {build}\n"
            f"ffmpeg.exe sha256: {exe_hash}\n"
            f"licence: {licence}\n"
            f"source offered at: {source_url}\n"
            f"configuration: {configuration}\n"
        )


if __name__ == "__main__":
    if len(sys.argv) != 9:
        sys.exit(__doc__)
    main(*sys.argv[1:])
