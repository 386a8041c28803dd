"""The package over the demo company: lists, records, keys, Locate, errors."""
import datetime
import decimal
import gc
import os
import struct
import subprocess
import sys

import pytest

import tavelnor

DEMO_TABLES = ["Parametres", "ModesReglement", "Familles", "Articles", "Clients",
               "Fournisseurs", "Factures", "LignesFacture", "Reglements", "Comptes",
               "Journaux", "Ecritures"]


def test_tables_and_fields(db):
    assert db.tables() == DEMO_TABLES
    fields = db.fields("Clients")
    assert [f.name for f in fields[:3]] == ["CodeClient", "RaisonSociale", "Rue"]
    by_name = {f.name: f for f in fields}
    assert by_name["RaisonSociale"].label == "Raison sociale"
    assert by_name["PlafondCredit"].category == "Montant"
    assert by_name["PlafondCredit"].decimals == 2 and by_name["PlafondCredit"].is_amount
    assert [f.name for f in fields if f.user_defined] == ["Perso1", "Perso2"]
    # An array's elements are numbered.
    months = [f.name for f in db.fields("Comptes") if f.name.startswith("SoldeMois")]
    assert months == [f"SoldeMois[{n}]" for n in range(1, 13)]
    for table in DEMO_TABLES:
        with db.table(table) as t:
            # The slots are packed: they end where the exchange record does.
            last = t.fields[-1]
            assert last.offset + last.size == t.record_length, table


def test_iteration_matches_the_count(db):
    counts = {}
    for table in ["Clients", "Factures", "Journaux"]:
        with db.table(table) as t:
            records = list(t)
            counts[table] = len(records)
            assert len(t) == len(records)
            assert all(set(r) == {f.name for f in t.fields} for r in records)
    assert counts == {"Clients": 2000, "Factures": 6000, "Journaux": 5}
    # Tables dropped without close() release their handles.
    for _ in range(20):
        assert len(list(db.table("Parametres"))) == 1
    gc.collect()
    assert len(db._handles) == 0


def _signed(raw):
    return int.from_bytes(raw, "little", signed=True)


def _check_value(field, raw, value):
    """The base stored type checked, after comparing `value` with `raw`."""
    kind = tavelnor._values.base_type(field.stored_type)
    if kind in (0, 7, 9, 21):
        assert value == raw.split(b"\0")[0].decode("cp1252")
    elif kind in (1, 13, 15, 22, 26):
        assert value == _signed(raw)
    elif kind in (14, 16, 18, 27):
        assert value == int.from_bytes(raw, "little")
    elif kind in (2, 23):
        assert value == struct.unpack("<f" if len(raw) == 4 else "<d", raw)[0]
    elif kind in (12, 20, 29):
        scale = {29: 4, 20: 7}.get(kind, field.decimals)
        assert isinstance(value, decimal.Decimal)
        assert value.scaleb(scale) == _signed(raw)
    elif kind in (6, 19):
        assert value is (any(raw))
    elif kind == 4:
        expected = None if not any(raw) else datetime.date(
            raw[2] | raw[3] << 8, raw[1], raw[0])
        assert value == expected
    elif kind == 5:
        # The exchange layout carries whole seconds.
        assert (value.hour, value.minute, value.second) == (raw[3], raw[2], raw[1])
    elif kind == 28:
        ticks = _signed(raw)
        if ticks == 0:
            assert value is None
        else:
            expected = datetime.datetime(1, 1, 1) + datetime.timedelta(microseconds=ticks // 10)
            assert abs(value - expected) <= datetime.timedelta(milliseconds=1)
    elif kind in (32, 33, 34, 35, 36, 37):
        length = int.from_bytes(raw[:4], "little") >> 8
        if kind == 33:
            stored = value.encode("cp1252")
            # The stored text may end with its terminating zero.
            assert length - len(stored) in (0, 1) and (length == 0) == (stored == b"")
        elif kind == 35 and length:
            # A picture comes as a BMP file: a 14-byte header before the DIB.
            assert value[:2] == b"BM" and len(value) == length + 14
            assert int.from_bytes(value[2:6], "little") == len(value)
        else:
            assert len(value) == length
    else:
        pytest.fail(f"{field.name}: stored type {field.stored_type} is not checked")
    return kind


def test_values_of_every_type_match_the_raw_record_bytes(db):
    """Each value against the stored record read raw through a second handle."""
    checked = set()
    for table in DEMO_TABLES:
        with db.table(table) as values, db.table(table, raw=True) as raw:
            offsets, at = [], 0
            for f in values.fields:
                offsets.append(at)
                at += f.stored_size
            rows = 0
            for record, stored in zip(values, raw):
                for f, offset in zip(values.fields, offsets):
                    piece = stored[offset:offset + f.stored_size]
                    try:
                        checked.add(_check_value(f, piece, record[f.name]))
                    except AssertionError:
                        pytest.fail(f"{table}.{f.name} record {rows}: {record[f.name]!r} "
                                    f"for bytes {piece.hex()}")
                rows += 1
                if rows == 1500:  # enough of the largest tables
                    break
            assert rows == min(len(values), 1500), table
    # Texts, integers of each width and sign, booleans, amounts of both
    # scales, dates, times, time stamps, text memos and pictures.
    assert checked == {0, 1, 4, 5, 7, 15, 18, 19, 20, 28, 29, 33, 35}


def test_seek_by_key_value(db):
    with db.table("Clients") as clients:
        clients.set_range(1)
        first_by_name = next(iter(clients))
        # Listing the keys leaves the current key as it was.
        assert clients.key_numbers() == [0, 1, 2]
        assert next(iter(clients)) == first_by_name
        clients.set_range(0)
        assert db.table("Parametres").key_numbers() == [0]
        assert clients.seek(0, "C000005")["CodeClient"] == "C000005"
        assert clients.seek(0, "C9") is None
        lyon = clients.locate(Ville="Lyon")
        # Two segments end to end: CodePostal (11 bytes) then Ville.
        found = clients.seek(2, (lyon["CodePostal"].ljust(11, "\0"), "Lyon"))
        assert (found["CodePostal"], found["Ville"]) == (lyon["CodePostal"], "Lyon")
    with db.table("Factures") as invoices:
        first = next(iter(invoices))
        found = invoices.seek(0, struct.pack("<I", first["NumeroFacture"]))
        assert found == first
    with pytest.raises(TypeError):
        db.table("Journaux").seek(0, 12)


def test_key_ranges(db):
    with db.table("Clients") as clients:
        codes = [r["CodeClient"] for r in clients.range(0, "C00001")]
        assert codes == [f"C0000{n}" for n in range(10, 20)]
        assert len(clients) == 10
        codes = [r["CodeClient"] for r in clients.range(0, "C000100", "C000105")]
        assert codes == [f"C000{n}" for n in range(100, 106)]
        # Another key: the same records in another order.
        by_name = [r["CodeClient"] for r in clients.range(1)]
        clients.set_range(0)
        by_code = [r["CodeClient"] for r in clients]
        assert len(by_code) == len(clients) == 2000
        assert sorted(by_name) == by_code != by_name
        assert list(clients.range(0, "X")) == []


def test_locate_by_field_values(db):
    with db.table("Clients") as clients:
        target = clients.seek(0, "C000042")
        assert clients.locate(CodeClient="C000042") == target
        for name in ["PlafondCredit", "DateCreation", "Ville"]:
            found = clients.locate({name: target[name]})
            assert found is not None and found[name] == target[name], name
        assert clients.locate(Actif=not target["Actif"])["Actif"] is (not target["Actif"])
        assert clients.locate(CodeClient="C000042", Ville=target["Ville"] + "x") is None
        assert clients.locate(NoSuchField="1") is None
        with pytest.raises(ValueError):
            clients.locate()
    with db.table("Articles") as articles:
        item = next(iter(articles))
        assert articles.locate(Stock=item["Stock"])["Stock"] == item["Stock"]
    with db.table("Factures") as invoices:
        last = invoices.seek(0, struct.pack("<I", 22000100))
        assert invoices.locate(HeureFacture=last["HeureFacture"])["HeureFacture"] == last["HeureFacture"]


def test_errors_carry_code_and_meaning(db, demo_path, tmp_path):
    with pytest.raises(tavelnor.Error) as error:
        tavelnor.open(str(tmp_path / "missing.dic"))
    assert error.value.code == tavelnor.ERR_DICO_LOAD
    assert error.value.meaning in str(error.value) and "-201" in str(error.value)
    with pytest.raises(tavelnor.Error) as error:
        db.table("NoSuchTable")
    assert (error.value.code, error.value.meaning) == (
        -401, "the name designates no table of the dictionary")
    with pytest.raises(tavelnor.Error):
        db.fields("NoSuchTable")
    table = db.table("Journaux")
    table.close()
    with pytest.raises(tavelnor.Error) as error:
        list(table)
    assert error.value.code == tavelnor.ERR_HANDLE
    other = tavelnor.open(demo_path)
    kept = other.table("Journaux")
    other.close()  # closes its tables first
    for action in (lambda: len(kept), lambda: other.table("Journaux"), lambda: other.version):
        with pytest.raises(tavelnor.Error) as error:
            action()
        assert error.value.code == tavelnor.ERR_HANDLE


def test_missing_library_is_reported():
    env = dict(os.environ, TAVELNOR_LIBRARY="/nonexistent/libtavelnor.so")
    script = "import tavelnor\ntry:\n tavelnor.open('x.dic')\nexcept tavelnor.LibraryNotFound as e:\n print(e)"
    out = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True)
    assert "TAVELNOR_LIBRARY" in out.stdout and "/nonexistent/libtavelnor.so" in out.stdout


def test_reading_leaves_the_files_untouched(demo_path):
    folder = os.path.dirname(demo_path)

    def snapshot():
        return {name: (os.stat(os.path.join(folder, name)).st_mtime_ns,
                       open(os.path.join(folder, name), "rb").read())
                for name in sorted(os.listdir(folder))}

    before = snapshot()
    with tavelnor.open(demo_path) as db:
        with db.table("Reglements") as payments:
            list(payments.range(0, None))
            payments.locate(CodeReglement="CB")
    assert snapshot() == before


def test_to_pandas(db):
    pandas = pytest.importorskip("pandas")
    with db.table("Clients") as clients:
        frame = clients.to_pandas()
        assert isinstance(frame, pandas.DataFrame)
        assert frame.shape == (2000, len(clients.fields))
        assert list(frame.columns) == [f.name for f in clients.fields]
        assert frame["CodeClient"].is_unique
        assert isinstance(frame["PlafondCredit"][0], decimal.Decimal)
        clients.set_range(0, "C00001")
        assert len(tavelnor.to_pandas(clients)) == 10


def test_windows_1252_texts():
    decode, encode = tavelnor._values.decode_text, tavelnor._values.encode_text
    # Up to the first zero; the bytes Windows-1252 leaves undefined keep
    # their value, both ways.
    assert decode(b"Cr\xe9dit \x80 \x81\0rest") == "Crédit € \x81"
    assert encode("Crédit € \x81") == b"Cr\xe9dit \x80 \x81"
    with pytest.raises(UnicodeEncodeError):
        encode("\u0151")
