"""The demo company the tests read: $TAVELNOR_DEMO (a built dictionary), else
one built into a temporary folder by the tool at $TAVELNOR_TOOL."""
import os
import subprocess

import pytest

import tavelnor


@pytest.fixture(scope="session")
def demo_path(tmp_path_factory):
    given = os.environ.get("TAVELNOR_DEMO")
    if given:
        return given
    tool = os.environ.get("TAVELNOR_TOOL")
    if not tool:
        pytest.fail("set TAVELNOR_DEMO (a demo dictionary) or TAVELNOR_TOOL (the tavelnor tool)")
    folder = tmp_path_factory.mktemp("demo")
    subprocess.run([tool, "demo", "--out", str(folder)], check=True, stdout=subprocess.DEVNULL)
    return str(folder / "tavelnor-demo.dic")


@pytest.fixture
def db(demo_path):
    with tavelnor.open(demo_path) as database:
        yield database
