"""A PEP 517 build backend that needs nothing beyond the standard library.

It builds a pure-Python wheel of the `tavelnor` package (and an sdist), so
that `pip install .` works offline. No editable installs.
"""
import base64
import hashlib
import io
import os
import re
import tarfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = "tavelnor"


def _project():
    with open(os.path.join(ROOT, "pyproject.toml"), encoding="utf-8") as f:
        text = f.read()
    try:
        import tomllib
        return tomllib.loads(text)["project"]
    except ImportError:  # before Python 3.11: the few plain keys used here
        fields = dict(re.findall(r'^(\w[\w-]*)\s*=\s*"([^"]*)"', text, re.M))
        return fields


def _license():
    # The project's licence lies beside this folder in the source tree and
    # inside it in an unpacked sdist.
    for path in (os.path.join(ROOT, "LICENSE"), os.path.join(os.path.dirname(ROOT), "LICENSE")):
        if os.path.exists(path):
            with open(path, "rb") as f:
                return f.read()
    raise FileNotFoundError("LICENSE not found beside python/ or in it")


def _metadata(project):
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}",
             f"Version: {project['version']}", f"Summary: {project.get('description', '')}",
             "License: Apache-2.0"]
    if project.get("requires-python"):
        lines.append(f"Requires-Python: {project['requires-python']}")
    for extra, needs in project.get("optional-dependencies", {}).items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f'Requires-Dist: {need}; extra == "{extra}"' for need in needs]
    readme = os.path.join(ROOT, "README.md")
    body = ""
    if os.path.exists(readme):
        lines.append("Description-Content-Type: text/markdown")
        with open(readme, encoding="utf-8") as f:
            body = "\n" + f.read()
    return ("\n".join(lines) + "\n" + body).encode("utf-8")


def _sources():
    folder = os.path.join(ROOT, PACKAGE)
    return sorted(os.path.join(PACKAGE, name) for name in os.listdir(folder)
                  if name.endswith(".py"))


def _digest(data):
    return "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()


def _stem(project):
    return f"{project['name'].replace('-', '_')}-{project['version']}"


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    project = _project()
    stem = _stem(project)
    info = f"{stem}.dist-info"
    files = [(path.replace(os.sep, "/"), open(os.path.join(ROOT, path), "rb").read())
             for path in _sources()]
    files += [
        (f"{info}/METADATA", _metadata(project)),
        (f"{info}/WHEEL", b"Wheel-Version: 1.0\nGenerator: tavelnor_backend\n"
                          b"Root-Is-Purelib: true\nTag: py3-none-any\n"),
        (f"{info}/LICENSE", _license()),
    ]
    record = "".join(f"{name},{_digest(data)},{len(data)}\n" for name, data in files)
    record += f"{info}/RECORD,,\n"
    name = f"{stem}-py3-none-any.whl"
    with zipfile.ZipFile(os.path.join(wheel_directory, name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files + [(f"{info}/RECORD", record.encode())]:
            wheel.writestr(zipfile.ZipInfo(path, date_time=(1980, 1, 1, 0, 0, 0)), data,
                           zipfile.ZIP_DEFLATED)
    return name


def build_sdist(sdist_directory, config_settings=None):
    project = _project()
    stem = _stem(project)
    name = f"{stem}.tar.gz"
    members = ["pyproject.toml", "README.md", "_build/tavelnor_backend.py"] + _sources()
    with tarfile.open(os.path.join(sdist_directory, name), "w:gz") as sdist:
        def add(path, data):
            entry = tarfile.TarInfo(f"{stem}/{path}")
            entry.size = len(data)
            sdist.addfile(entry, io.BytesIO(data))
        for path in members:
            with open(os.path.join(ROOT, path), "rb") as f:
                add(path.replace(os.sep, "/"), f.read())
        add("LICENSE", _license())
        add("PKG-INFO", _metadata(project))
    return name
