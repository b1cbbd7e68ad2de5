"""The release's winget and Scoop manifests as those tools read them: they parse, hold every field
they need, name the files at the download address with each file's own hash (and each MSI's own
ProductCode), and carry res/version.h's version. Then the same for a fork's address.
Usage: check_manifests.py WORK_FOLDER; prints what is wrong and fails, else prints nothing."""
import hashlib, json, re, shutil, subprocess, sys, zipfile
import yaml

header = open("res/version.h").read()
version = ".".join(re.search(r"#define QG_VERSION_%s (\d+)\n" % n, header).group(1)
                   for n in ("MAJOR", "MINOR", "PATCH", "BUILD"))
ident, problems = "QuillGate.QuillGate", []


def expect(ok, what):
    if not ok: problems.append(what)


def check(dist, address):
    at = lambda name, v=version: address.replace("{version}", v) + "/" + name.replace(version, v)
    sha256 = lambda name: hashlib.sha256(open("%s/%s" % (dist, name), "rb").read()).hexdigest()
    docs = {}
    for kind, suffix in (("version", ""), ("installer", ".installer"), ("defaultLocale", ".locale.en-US")):
        text = open("%s/winget/%s%s.yaml" % (dist, ident, suffix)).read()
        expect(text.startswith("# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s."
                               "1.12.0.schema.json\n" % kind), kind + ": its schema line")
        docs[kind] = doc = yaml.safe_load(text)
        expect((doc["ManifestType"], doc["ManifestVersion"], doc["PackageIdentifier"], doc["PackageVersion"])
               == (kind, "1.12.0", ident, version), kind + ": type, schema, package or version")
    expect(docs["version"]["DefaultLocale"] == docs["defaultLocale"]["PackageLocale"] == "en-US", "locale")
    locale = docs["defaultLocale"]
    expect(all(locale.get(k) for k in ("Publisher", "PackageName", "License", "ShortDescription"))
           and {"launcher", "run"} <= set(locale["Tags"]), "defaultLocale: a field missing")
    names = {}
    for item in docs["installer"]["Installers"]:
        item = {**docs["installer"], **item}  # fields at the top hold for every installer
        name = names[item["Architecture"]] = item["InstallerUrl"].rsplit("/", 1)[-1]
        table = subprocess.run(["msiinfo", "export", "%s/%s" % (dist, name), "Property"],
                               capture_output=True, text=True).stdout
        expect(item["InstallerUrl"] == at(name) and item["InstallerType"] in ("wix", "msi")
               and item["Scope"] == "machine" and "ProductCode\t%s\n" % item["ProductCode"] in table
               and item["InstallerSha256"] == sha256(name).upper(), name + ": winget")
    expect(names == {"x64": "quillgate-%s-win64.msi" % version, "x86": "quillgate-%s-win32.msi" % version},
           "winget: the installers are not the two MSIs")
    scoop = json.load(open(dist + "/quillgate.json"))
    expect(scoop["version"] == version and all(scoop.get(k) for k in ("description", "homepage", "license",
           "checkver")) and scoop["shortcuts"][0][1] == "QuillGate", "Scoop: version or a field missing")
    for bits in ("64", "32"):
        name = "quillgate-%s-win%s-portable.zip" % (version, bits)
        arch, files = scoop["architecture"][bits + "bit"], zipfile.ZipFile("%s/%s" % (dist, name)).namelist()
        expect(arch["url"] == at(name) and arch["hash"] == sha256(name)
               and {scoop["bin"], scoop["shortcuts"][0][0], scoop["persist"]} == {"quillgate.exe", "quillgate.ini"}
               and {"quillgate.exe", "quillgate.ini"} <= set(files), name + ": Scoop")
        expect(scoop["autoupdate"]["architecture"][bits + "bit"]["url"] == at(name, "$version"), name + ": autoupdate")


check("dist", "https://quillgate.example.org/download/{version}")
fork, address = sys.argv[1] + "/fork", "https://github.com/someone/quillgate/releases/download/v{version}"
shutil.rmtree(fork, ignore_errors=True)
shutil.copytree("dist", fork, ignore=shutil.ignore_patterns("winget", "*.json"))
subprocess.run(["python3", "packaging/manifests.py", version, fork, address], check=True)
check(fork, address)
expect(json.load(open(fork + "/quillgate.json"))["checkver"] == {"github": "https://github.com/someone/quillgate"},
       "a fork on GitHub: Scoop's checkver")
sys.exit("\n".join(problems) or None)
