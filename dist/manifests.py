"""Writes the package-manager manifests of one release.

  manifests.py --version V --release-url URL --web-site URL --setup SETUP_EXE --zip ZIP --out DIR

DIR/winget/manifests/d/Dravomix/Tovasen/V/: the winget manifest set (schema 1.6): version,
installer, default locale (English) and Korean locale, laid out as the winget-pkgs repository
wants them. DIR/scoop/tovasen.json: the Scoop manifest of the zip. Download addresses are
URL/<package file name>; the hashes are those of the files given.
"""
import argparse
import hashlib
import json
import os

PACKAGE_ID = "Dravomix.Tovasen"
PUBLISHER = "Dravomix"
NAME = "Tovasen"
LICENSE = "Proprietary"
MANIFEST_VERSION = "1.6.0"
SHORT_DESCRIPTION = {
    "en-US": "Screen capture and screen recording from the notification area, on one hotkey.",
    "ko-KR": "알림 영역에서 단축키 하나로 화면을 캡처하고 녹화합니다.",
}
TAGS = ["screenshot", "screen-capture", "screen-recorder", "ocr"]
# Exit code of the setup when a running Tovasen would not close (it refuses while recording).
SETUP_EXIT_STILL_RUNNING = 3


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.file_digest(f, "sha256").hexdigest()


def yaml_scalar(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    # A JSON string is a YAML double-quoted scalar: no value is ever read as a number or a date.
    return json.dumps(value, ensure_ascii=False)


def yaml_lines(value, indent=""):
    """Block-style YAML of nested dicts and lists of scalars, dicts and lists."""
    lines = []
    if isinstance(value, dict):
        for key, item in value.items():
            if isinstance(item, (dict, list)):
                lines.append(f"{indent}{key}:")
                lines.extend(yaml_lines(item, indent + "  "))
            else:
                lines.append(f"{indent}{key}: {yaml_scalar(item)}")
    else:
        for item in value:
            if isinstance(item, (dict, list)):
                nested = yaml_lines(item, indent + "  ")
                lines.append(f"{indent}- {nested[0].lstrip()}")
                lines.extend(nested[1:])
            else:
                lines.append(f"{indent}- {yaml_scalar(item)}")
    return lines


def write_yaml(path, schema, document):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{schema}.{MANIFEST_VERSION}.schema.json\n\n")
        f.write("\n".join(yaml_lines(document)) + "\n")


def winget(out, version, setup_url, setup_hash, web_site):
    head = {"PackageIdentifier": PACKAGE_ID, "PackageVersion": version}
    folder = os.path.join(out, "winget", "manifests", PACKAGE_ID[0].lower(), *PACKAGE_ID.split("."), version)
    os.makedirs(folder)
    base = os.path.join(folder, PACKAGE_ID)
    write_yaml(base + ".yaml", "version", {
        **head,
        "DefaultLocale": "en-US",
        "ManifestType": "version",
        "ManifestVersion": MANIFEST_VERSION,
    })
    write_yaml(base + ".installer.yaml", "installer", {
        **head,
        "InstallerType": "nullsoft",
        "Scope": "user",
        "InstallModes": ["interactive", "silent", "silentWithProgress"],
        "InstallerSwitches": {"Silent": "/S", "SilentWithProgress": "/S"},
        "ExpectedReturnCodes": [{"InstallerReturnCode": SETUP_EXIT_STILL_RUNNING, "ReturnResponse": "packageInUse"}],
        "UpgradeBehavior": "install",
        # The setup installs for the current user only; elevated, it would install for the administrator.
        "ElevationRequirement": "elevationProhibited",
        # The name of the uninstall entry, by which winget finds the installed copy.
        "ProductCode": NAME,
        "Installers": [{"Architecture": "x64", "InstallerUrl": setup_url, "InstallerSha256": setup_hash.upper()}],
        "ManifestType": "installer",
        "ManifestVersion": MANIFEST_VERSION,
    })
    write_yaml(base + ".locale.en-US.yaml", "defaultLocale", {
        **head,
        "PackageLocale": "en-US",
        "Publisher": PUBLISHER,
        "PublisherUrl": web_site,
        "PackageName": NAME,
        "PackageUrl": web_site + "/tovasen",
        "License": LICENSE,
        "ShortDescription": SHORT_DESCRIPTION["en-US"],
        "Moniker": NAME.lower(),
        "Tags": TAGS,
        "ManifestType": "defaultLocale",
        "ManifestVersion": MANIFEST_VERSION,
    })
    write_yaml(base + ".locale.ko-KR.yaml", "locale", {
        **head,
        "PackageLocale": "ko-KR",
        "Publisher": PUBLISHER,
        "PackageName": NAME,
        "License": LICENSE,
        "ShortDescription": SHORT_DESCRIPTION["ko-KR"],
        "ManifestType": "locale",
        "ManifestVersion": MANIFEST_VERSION,
    })


def scoop(out, version, zip_url, zip_hash, web_site):
    # Settings live in the registry, so nothing in the app folder needs to persist across updates.
    manifest = {
        "version": version,
        "description": SHORT_DESCRIPTION["en-US"],
        "homepage": web_site + "/tovasen",
        "license": LICENSE,
        "architecture": {"64bit": {"url": zip_url, "hash": zip_hash}},
        "extract_dir": NAME,
        "bin": "tovasen-cmd.exe",
        "shortcuts": [["Tovasen.exe", NAME]],
    }
    os.makedirs(os.path.join(out, "scoop"))
    with open(os.path.join(out, "scoop", "tovasen.json"), "w", encoding="utf-8", newline="\n") as f:
        json.dump(manifest, f, indent=4, ensure_ascii=False)
        f.write("\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--version", "--release-url", "--web-site", "--setup", "--zip", "--out"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    url = args.release_url.rstrip("/")
    winget(args.out, args.version, f"{url}/{os.path.basename(args.setup)}", sha256(args.setup), args.web_site)
    scoop(args.out, args.version, f"{url}/{os.path.basename(args.zip)}", sha256(args.zip), args.web_site)


if __name__ == "__main__":
    main()
