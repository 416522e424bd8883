"""The release files of a build, read back the way their users read them: the checksums as
sha256sum would, the winget and Scoop manifests as those tools would (every hash against the
packages, every address against the release folder), the one version everywhere it shows, the
service addresses the shipped program carries, and the record of the shipped ffmpeg.exe.

  release_files.py PACKAGES_DIR DIST_CONF UPDATE_URL UPLOAD_HOST

Runs inside scripts/wine-env.sh: tovasen-cmd --version runs under Wine.
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

PACKAGES = CONF = UPDATE_URL = UPLOAD_HOST = None


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def load_conf(path):
    conf = {}
    for line in open(path, encoding="utf-8"):
        line = line.strip()
        if line and not line.startswith("#"):
            key, _, value = line.partition("=")
            conf[key] = value
    return conf


def wide_strings(data, minimum=6):
    """The UTF-16LE texts of a binary, as `strings -el` finds them."""
    return [m.decode("utf-16-le") for m in re.findall(rb"(?:[\x20-\x7e]\x00){%d,}" % minimum, data)]


def fixed_file_version(exe):
    """FILEVERSION of the version resource: the four numbers of VS_FIXEDFILEINFO."""
    at = exe.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", exe, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = CONF["VERSION"]
        cls.release_url = CONF["RELEASE_URL"]
        cls.setup_name = f"Tovasen-Setup-{cls.version}.exe"
        cls.zip_name = f"Tovasen-{cls.version}-win64.zip"
        cls.setup = read(os.path.join(PACKAGES, cls.setup_name))
        cls.zip_bytes = read(os.path.join(PACKAGES, cls.zip_name))
        cls.zip = zipfile.ZipFile(io.BytesIO(cls.zip_bytes))


class Checksums(Release):
    def test_sha256sums_names_both_packages_with_their_hashes(self):
        lines = open(os.path.join(PACKAGES, "SHA256SUMS"), encoding="ascii").read().splitlines()
        listed = {}
        for line in lines:
            match = re.fullmatch(r"([0-9a-f]{64})  (\S+)", line)
            self.assertIsNotNone(match, f"not a sha256sum line: {line!r}")
            listed[match.group(2)] = match.group(1)
        self.assertEqual({self.setup_name: sha256(self.setup), self.zip_name: sha256(self.zip_bytes)}, listed)


# winget schema 1.6: the required fields of each manifest type, and the patterns the tools check.
REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                      "License", "ShortDescription", "ManifestType", "ManifestVersion"],
    "locale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "ManifestType", "ManifestVersion"],
}
IDENTIFIER = re.compile(r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}')
SHA256 = re.compile(r"[A-Fa-f0-9]{64}")


class Winget(Release):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        folder = os.path.join(PACKAGES, "winget", "manifests", "d", "Dravomix", "Tovasen", cls.version)
        cls.files = sorted(os.listdir(folder))
        cls.manifests = {}
        for name in cls.files:
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                document = yaml.safe_load(f)
            cls.manifests[document["ManifestType"] + ":" + document.get("PackageLocale", "")] = document

    def test_the_set_is_version_installer_and_two_locales(self):
        self.assertEqual(["Dravomix.Tovasen.installer.yaml", "Dravomix.Tovasen.locale.en-US.yaml",
                          "Dravomix.Tovasen.locale.ko-KR.yaml", "Dravomix.Tovasen.yaml"], self.files)
        self.assertEqual({"version:", "installer:", "defaultLocale:en-US", "locale:ko-KR"}, set(self.manifests))

    def test_every_file_has_its_required_fields_and_one_identity(self):
        for key, document in self.manifests.items():
            with self.subTest(key):
                kind = document["ManifestType"]
                missing = [f for f in REQUIRED[kind] if f not in document]
                self.assertEqual([], missing)
                self.assertEqual("1.6.0", document["ManifestVersion"])
                self.assertRegex(document["PackageIdentifier"], IDENTIFIER)
                self.assertEqual("Dravomix.Tovasen", document["PackageIdentifier"])
                # A version read as a number ("1.10" as 1.1) would name another package.
                self.assertEqual(self.version, document["PackageVersion"])

    def test_the_installer_is_the_setup_as_built(self):
        installer = self.manifests["installer:"]
        self.assertEqual("nullsoft", installer["InstallerType"])
        self.assertEqual("user", installer["Scope"])
        self.assertEqual("install", installer["UpgradeBehavior"])
        self.assertEqual({"Silent": "/S", "SilentWithProgress": "/S"}, installer["InstallerSwitches"])
        self.assertEqual([{"InstallerReturnCode": 3, "ReturnResponse": "packageInUse"}],
                         installer["ExpectedReturnCodes"])
        self.assertEqual(1, len(installer["Installers"]))
        entry = installer["Installers"][0]
        self.assertEqual("x64", entry["Architecture"])
        self.assertEqual(f"{self.release_url}/{self.setup_name}", entry["InstallerUrl"])
        self.assertRegex(entry["InstallerSha256"], SHA256)
        self.assertEqual(sha256(self.setup), entry["InstallerSha256"].lower())

    def test_descriptions_in_english_and_korean(self):
        english, korean = self.manifests["defaultLocale:en-US"], self.manifests["locale:ko-KR"]
        self.assertEqual("en-US", self.manifests["version:"]["DefaultLocale"])
        for document in (english, korean):
            self.assertEqual("Dravomix", document["Publisher"])
            self.assertEqual("Tovasen", document["PackageName"])
            self.assertGreaterEqual(len(document["License"]), 3)
            self.assertTrue(3 <= len(document["ShortDescription"]) <= 256)
        self.assertRegex(english["ShortDescription"], r"^[ -~]+$")
        self.assertRegex(korean["ShortDescription"], r"[\uac00-\ud7a3]")
        self.assertEqual(CONF["WEB_SITE"], english["PublisherUrl"])


class Scoop(Release):
    def test_the_manifest_installs_the_zip_as_built(self):
        with open(os.path.join(PACKAGES, "scoop", "tovasen.json"), encoding="utf-8") as f:
            manifest = json.load(f)
        self.assertEqual(self.version, manifest["version"])
        self.assertEqual({"64bit"}, set(manifest["architecture"]))
        package = manifest["architecture"]["64bit"]
        self.assertEqual(f"{self.release_url}/{self.zip_name}", package["url"])
        self.assertEqual(sha256(self.zip_bytes), package["hash"])
        self.assertNotIn("persist", manifest)
        names = set(self.zip.namelist())
        folder = manifest["extract_dir"]
        self.assertIn(f"{folder}/{manifest['bin']}", names)
        self.assertEqual("tovasen-cmd.exe", manifest["bin"])
        for target, _ in manifest["shortcuts"]:
            self.assertIn(f"{folder}/{target}", names)


class OneVersion(Release):
    def test_resource_setup_zip_and_tovasen_cmd_agree(self):
        exe = self.zip.read("Tovasen/Tovasen.exe")
        self.assertEqual(CONF["FILE_VERSION"], fixed_file_version(exe))
        self.assertTrue(CONF["FILE_VERSION"].startswith(self.version + "."))
        self.assertEqual(CONF["FILE_VERSION"], fixed_file_version(self.setup))
        with tempfile.TemporaryDirectory() as folder:
            cmd = os.path.join(folder, "tovasen-cmd.exe")
            with open(cmd, "wb") as f:
                f.write(self.zip.read("Tovasen/tovasen-cmd.exe"))
            shown = subprocess.run(["wine", cmd, "--version"], capture_output=True, timeout=120)
        self.assertEqual(0, shown.returncode, shown.stderr)
        self.assertEqual(f"tovasen-cmd {self.version}", shown.stdout.decode("utf-8").strip())


class ShippedAddresses(Release):
    LOOPBACK = re.compile(r"(?i)\b[a-z]+://(localhost|127\.\d+\.\d+\.\d+|\[::1\])")

    def test_the_program_asks_the_makers_services_and_never_loopback(self):
        texts = wide_strings(self.zip.read("Tovasen/Tovasen.exe"))
        for address in (UPDATE_URL, UPLOAD_HOST, CONF["WEB_SITE"]):
            self.assertIn(address, texts)
        for name in ("Tovasen/Tovasen.exe", "Tovasen/tovasen-cmd.exe"):
            data = self.zip.read(name)
            found = [t for t in wide_strings(data) + [data.decode("latin-1")] if self.LOOPBACK.search(t)]
            self.assertEqual([], [self.LOOPBACK.search(t).group(0) for t in found], name)


class Ffmpeg(Release):
    def test_the_record_and_the_licence_name_the_shipped_build_and_its_source(self):
        record = dict(line.split(": ", 1) for line in
                      open(os.path.join(PACKAGES, "ffmpeg-shipped.txt"), encoding="utf-8").read().splitlines())
        exe = self.zip.read("Tovasen/ffmpeg.exe")
        self.assertEqual(sha256(exe), record["ffmpeg.exe sha256"])
        self.assertRegex(record["package sha256"], "^[0-9a-f]{64}$")
        self.assertTrue(record["package"] and record["package version"] and record["ffmpeg build"])
        self.assertTrue(record["source offered at"].startswith(self.release_url + "/"))
        self.assertIn(record["configuration"].encode("ascii"), exe)
        licence = self.zip.read("Tovasen/licenses/ffmpeg.txt").decode("utf-8")
        for text in (record["source offered at"], record["ffmpeg build"], record["configuration"],
                     record["ffmpeg.exe sha256"], "GNU GENERAL PUBLIC LICENSE"):
            self.assertIn(text, licence)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    PACKAGES, conf, UPDATE_URL, UPLOAD_HOST = sys.argv[1:]
    CONF = load_conf(conf)
    unittest.main(argv=[sys.argv[0], "-v"])
