"""Usage: manifests.py VERSION DIST DOWNLOAD_URL

Writes the package managers' manifests of the release in DIST: for winget the three files of
the multi-file format (installers: the two MSIs; the portable zips are left out, since winget
gives a portable package no Start-menu entry, and the key lives on that entry), for Scoop
quillgate.json (the portable zips). DOWNLOAD_URL is the address of a release's files, with
{version} where its version goes. Every value is drawn from the release's files, so the same
release always gives the same bytes.
"""
import hashlib
import json
import os
import re
import subprocess
import sys

version, dist, download = sys.argv[1:4]
if "{version}" not in download:
    sys.exit("error: the download address %s has no {version}" % download)
ident, schema = "QuillGate.QuillGate", "1.12.0"
description = "A small, fast replacement for the Windows Run box, with a history that completes typing"
github = re.match(r"(https://github\.com/[^/]+/[^/]+)/releases/download/", download)
homepage = github.group(1) if github else re.match(r"[a-z]+://[^/]+", download).group(0)


def url(name, ver=version):
    return download.replace("{version}", ver).rstrip("/") + "/" + name.replace("{version}", ver)


def sha256(name):
    with open(os.path.join(dist, name), "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def msi_property(name, key):
    table = subprocess.run(["msiinfo", "export", os.path.join(dist, name), "Property"],
                           check=True, capture_output=True, text=True).stdout
    return re.search(r"^%s\t(.*?)\r?$" % key, table, re.M).group(1)


def scalar(value):
    # Plain where YAML reads the text back as the same string, else double-quoted (JSON's
    # strings are YAML's).
    plain = re.fullmatch(r"[A-Za-z0-9][A-Za-z0-9 .,/:()+-]*", value) and ": " not in value
    special = re.fullmatch(r"[-+]?(\.\d+|\d[\d_]*(\.[\d_]*)?)([eE][-+]?\d+)?|[\d:]+|"
                           r"(?i:y|n|yes|no|true|false|on|off|null|~)", value)
    return value if plain and not special and not value.endswith(":") else json.dumps(value)


def yaml(kind, fields):
    lines = ["# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json"
             % (kind, schema), ""]

    def emit(key, value, indent):
        if isinstance(value, list) and value and isinstance(value[0], dict):
            lines.append(indent + key + ":")
            for item in value:
                for i, (k, v) in enumerate(item.items()):
                    emit(k, v, indent + ("- " if i == 0 else "  "))
        elif isinstance(value, list):
            lines.append(indent + key + ":")
            lines.extend("%s- %s" % (indent.replace("-", " "), scalar(v)) for v in value)
        else:
            lines.append("%s%s: %s" % (indent, key, scalar(value)))

    head = {"PackageIdentifier": ident, "PackageVersion": version}
    for key, value in {**head, **fields, "ManifestType": kind, "ManifestVersion": schema}.items():
        emit(key, value, "")
    return "\n".join(lines) + "\n"


publisher = re.search(r'#define QG_COMPANY_NAME "(.*)"',
                      open(os.path.join(os.path.dirname(__file__), "../res/version.h")).read())
files = {
    ident + ".yaml": yaml("version", {"DefaultLocale": "en-US"}),
    ident + ".installer.yaml": yaml("installer", {
        "InstallerType": "wix", "Scope": "machine", "UpgradeBehavior": "install",
        "Installers": [{
            "Architecture": arch, "InstallerUrl": url(msi), "InstallerSha256": sha256(msi).upper(),
            "ProductCode": msi_property(msi, "ProductCode"),
            "AppsAndFeaturesEntries": [{"UpgradeCode": msi_property(msi, "UpgradeCode")}],
        } for arch, msi in (("x64", "quillgate-%s-win64.msi" % version),
                            ("x86", "quillgate-%s-win32.msi" % version))]}),
    ident + ".locale.en-US.yaml": yaml("defaultLocale", {
        "PackageLocale": "en-US", "Publisher": publisher.group(1), "PackageName": "QuillGate",
        "PackageUrl": homepage, "License": "MIT", "ShortDescription": description,
        "Moniker": "quillgate", "Tags": ["launcher", "run"]}),
}
os.makedirs(os.path.join(dist, "winget"), exist_ok=True)
for name, text in files.items():
    with open(os.path.join(dist, "winget", name), "w", newline="\n") as f:
        f.write(text)

zip_name = "quillgate-{version}-win%s-portable.zip"  # the name of a release's zip
scoop = {
    "version": version, "description": description, "homepage": homepage, "license": "MIT",
    "architecture": {"%sbit" % bits: {"url": url(zip_name % bits), "hash": sha256(
        zip_name.replace("{version}", version) % bits)} for bits in ("64", "32")},
    "bin": "quillgate.exe",
    "shortcuts": [["quillgate.exe", "QuillGate"]],
    # The zip's empty quillgate.ini keeps the history beside the program; Scoop keeps it in its
    # persist folder through a hard link. QuillGate replaces the file on every write, which parts
    # it from that link: before an update or removal the live one goes back into persist.
    "persist": "quillgate.ini",
    "pre_uninstall": [
        "$history = Get-Item \"$dir\\quillgate.ini\" -ErrorAction SilentlyContinue",
        "if ($history -and !$history.LinkType) { Copy-Item $history \"$persist_dir\\quillgate.ini\" -Force }",
    ],
    "notes": "A key to start QuillGate: right-click its Start-menu entry (Scoop Apps) > More > Open "
             "file location; there right-click QuillGate > Properties > Shortcut key.",
    "checkver": {"github": homepage} if github else {
        "url": download.split("{version}")[0], "regex": r"quillgate-([\d.]+)-win64-portable\.zip"},
    "autoupdate": {"architecture": {"%sbit" % bits: {"url": url(zip_name % bits, "$version")}
                                    for bits in ("64", "32")}},
}
with open(os.path.join(dist, "quillgate.json"), "w", newline="\n") as f:
    f.write(json.dumps(scoop, indent=4) + "\n")
