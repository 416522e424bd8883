"""The release files read back as their users read them: checksums, the winget and Scoop
manifests (every hash against the packages, every address against the release folder), the
one version, the service addresses the shipped program carries, the ffmpeg record.

  release_files.py PACKAGES_DIR DIST_CONF UPDATE_URL UPLOAD_HOST    (inside scripts/wine-env.sh)
"""
import hashlib
import io
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

import yaml

# winget schema 1.6: what each manifest type requires.
REQUIRED = {
    "version": {"PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"},
    "installer": {"PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"},
    "defaultLocale": {"PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                      "License", "ShortDescription", "ManifestType", "ManifestVersion"},
    "locale": {"PackageIdentifier", "PackageVersion", "PackageLocale", "ManifestType", "ManifestVersion"},
}


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def wide_strings(data):
    """The UTF-16LE texts of a binary, as `strings -el` finds them."""
    return [m.decode("utf-16-le") for m in re.findall(rb"(?:[\x20-\x7e]\x00){6,}", data)]


def fixed_file_version(exe):
    """The four numbers of the version resource's VS_FIXEDFILEINFO."""
    at = exe.find(struct.pack("<I", 0xFEEF04BD))
    ms, ls = struct.unpack_from("<II", exe, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


class ReleaseFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version, cls.url = CONF["VERSION"], CONF["RELEASE_URL"]
        cls.names = {"setup": f"Tovasen-Setup-{cls.version}.exe", "zip": f"Tovasen-{cls.version}-win64.zip"}
        cls.data = {kind: open(os.path.join(PACKAGES, name), "rb").read() for kind, name in cls.names.items()}
        cls.zip = zipfile.ZipFile(io.BytesIO(cls.data["zip"]))

    def test_sha256sums_vouch_for_both_packages(self):
        listed = dict(reversed(re.fullmatch(r"([0-9a-f]{64})  (\S+)", line).groups())
                      for line in open(os.path.join(PACKAGES, "SHA256SUMS")).read().splitlines())
        self.assertEqual({self.names[k]: sha256(self.data[k]) for k in self.names}, listed)

    def test_winget_set_is_complete_and_names_the_setup_as_built(self):
        folder = os.path.join(PACKAGES, "winget", "manifests", "d", "Dravomix", "Tovasen", self.version)
        manifests = {}
        for name in os.listdir(folder):
            document = yaml.safe_load(open(os.path.join(folder, name), encoding="utf-8"))
            manifests[document["ManifestType"] + document.get("PackageLocale", "")] = document
            with self.subTest(name):
                self.assertLessEqual(REQUIRED[document["ManifestType"]], set(document))
                self.assertEqual("Dravomix.Tovasen", document["PackageIdentifier"])
                self.assertEqual("1.6.0", document["ManifestVersion"])
                # A version read as a number ("1.10" as 1.1) would name another release.
                self.assertEqual(self.version, document["PackageVersion"])
        self.assertEqual({"version", "installer", "defaultLocaleen-US", "localeko-KR"}, set(manifests))
        self.assertEqual("en-US", manifests["version"]["DefaultLocale"])
        [installer] = manifests["installer"]["Installers"]
        self.assertEqual(f"{self.url}/{self.names['setup']}", installer["InstallerUrl"])
        self.assertEqual(sha256(self.data["setup"]), installer["InstallerSha256"].lower())
        self.assertRegex(manifests["localeko-KR"]["ShortDescription"], r"[\uac00-\ud7a3]")

    def test_scoop_manifest_names_the_zip_as_built(self):
        manifest = json.load(open(os.path.join(PACKAGES, "scoop", "tovasen.json"), encoding="utf-8"))
        self.assertEqual(self.version, manifest["version"])
        package = manifest["architecture"]["64bit"]
        self.assertEqual(f"{self.url}/{self.names['zip']}", package["url"])
        self.assertEqual(sha256(self.data["zip"]), package["hash"])
        programs = [manifest["bin"]] + [shortcut[0] for shortcut in manifest["shortcuts"]]
        inside = [f"{manifest['extract_dir']}/{name}" for name in programs]
        self.assertLessEqual(set(inside), set(self.zip.namelist()))

    def test_one_version_in_resources_setup_and_tovasen_cmd(self):
        self.assertEqual(CONF["FILE_VERSION"], fixed_file_version(self.zip.read("Tovasen/Tovasen.exe")))
        self.assertEqual(CONF["FILE_VERSION"], fixed_file_version(self.data["setup"]))
        self.assertTrue(CONF["FILE_VERSION"].startswith(self.version + "."))
        with tempfile.TemporaryDirectory() as folder:
            cmd = os.path.join(folder, "tovasen-cmd.exe")
            open(cmd, "wb").write(self.zip.read("Tovasen/tovasen-cmd.exe"))
            shown = subprocess.run(["wine", cmd, "--version"], capture_output=True, timeout=120)
        self.assertEqual((0, f"tovasen-cmd {self.version}"), (shown.returncode, shown.stdout.decode().strip()))

    def test_shipped_program_asks_the_makers_services_and_never_loopback(self):
        loopback = re.compile(r"(?i)\b[a-z]+://(localhost|127\.\d+\.\d+\.\d+|\[::1\])")
        texts = wide_strings(self.zip.read("Tovasen/Tovasen.exe"))
        for address in (UPDATE_URL, UPLOAD_HOST, CONF["WEB_SITE"]):
            self.assertIn(address, texts)
        for name in ("Tovasen/Tovasen.exe", "Tovasen/tovasen-cmd.exe"):
            data = self.zip.read(name)
            found = [m.group(0) for t in wide_strings(data) + [data.decode("latin-1")] for m in loopback.finditer(t)]
            self.assertEqual([], found, name)

    def test_ffmpeg_record_and_licence_name_the_shipped_build_and_its_source(self):
        lines = open(os.path.join(PACKAGES, "ffmpeg-shipped.txt"), encoding="utf-8").read().splitlines()
        record = dict(line.split(": ", 1) for line in lines)
        exe = self.zip.read("Tovasen/ffmpeg.exe")
        self.assertEqual(sha256(exe), record["ffmpeg.exe sha256"])
        self.assertTrue(record["source offered at"].startswith(self.url + "/"))
        self.assertIn(record["configuration"].encode(), exe)
        licence = self.zip.read("Tovasen/licenses/ffmpeg.txt").decode("utf-8")
        for key in ("source offered at", "ffmpeg build", "configuration", "ffmpeg.exe sha256"):
            self.assertIn(record[key], licence)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    PACKAGES, conf, UPDATE_URL, UPLOAD_HOST = sys.argv[1:]
    CONF = dict(line.strip().split("=", 1) for line in open(conf) if "=" in line and not line.startswith("#"))
    unittest.main(argv=[sys.argv[0], "-v"])
