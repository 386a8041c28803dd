"""Read the tables of a dictionary through libtavelnor's C interface.

    import tavelnor
    with tavelnor.open("tavelnor-demo.dic") as db:
        for client in db.table("Clients"):
            print(client["CodeClient"], client["RaisonSociale"])

The library is $TAVELNOR_LIBRARY when set, else libtavelnor as the system
finds it. Records come as dicts of Python values; failures raise Error.
"""
import ctypes
import os
import struct
import weakref
import dataclasses
from dataclasses import dataclass

from . import _values
from ._library import LibraryNotFound, library

__all__ = ["open", "Database", "Table", "Field", "Error", "LibraryNotFound", "to_pandas"]
__version__ = "0.1.0"

SCHEMA_EXCHANGE = 0x01
SCHEMA_QUIET = 0x02

OK, ERR_CREATE, ERR_HANDLE, ERR_DICO_UPDATE = 0, -1, -2, -3
ERR_DICO_LOAD, ERR_NOT_A_TABLE = -201, -401
STATUS_KEY_NOT_FOUND, STATUS_END = 4, 9

MEANINGS = {
    OK: "no error",
    ERR_CREATE: "a handle could not be created (Locate: the record found differs)",
    ERR_HANDLE: "bad or closed handle, or bad argument",
    ERR_DICO_UPDATE: "the dictionary could not be reopened for writing",
    ERR_DICO_LOAD: "the dictionary could not be loaded",
    ERR_NOT_A_TABLE: "the name designates no table of the dictionary",
    2: "I/O error or damaged file", 3: "file not open", 4: "key value not found",
    5: "duplicate key value", 6: "invalid key number", 7: "key number differs",
    8: "no current position", 9: "end of data or of the key range", 11: "bad file name",
    12: "file not found", 18: "disk full", 20: "record manager not loaded",
    22: "record length differs from the dictionary", 30: "not a Btrieve file",
    43: "no current record", 46: "access denied", 84: "record locked", 85: "file locked",
    88: "incompatible open mode", 861: "file held by another handle",
}


class Error(Exception):
    """A failure of the library: `code` is its error code, `meaning` what it says."""

    def __init__(self, code, what=""):
        self.code = code
        self.meaning = MEANINGS.get(code, "Btrieve status" if code > 0 else "library error")
        super().__init__(f"{what}: error {code} ({self.meaning})" if what else
                         f"error {code} ({self.meaning})")


def _failed(what):
    return Error(library().ZAVL_GetLastError(), what)


@dataclass(frozen=True)
class Field:
    """A field of a table: its exchange slot (type, offset, size) and description."""
    name: str
    type: int          # exchange slot type (ZAVL_FT_*)
    stored_type: int   # type code in the data file
    offset: int        # in the exchange record
    size: int          # of the exchange slot
    decimals: int      # -1: none
    stored_size: int   # in the data file
    label: str
    category: str
    user_defined: bool

    @property
    def is_amount(self):
        return _values.base_type(self.stored_type) in _values.AMOUNT_TYPES

    @property
    def unsigned(self):
        return _values.base_type(self.stored_type) in _values.UNSIGNED_TYPES


class _Handle:
    """A data handle, closed when dropped or with its database."""

    _h = None

    def __init__(self, db, name, what, raw):
        self._db = db
        self.raw = raw
        db._check()
        self._h = library().ZAVL_OpenData(db._schema(self), _values.encode_text(name), 0)
        if not self._h:
            raise _failed(f"{what} {name!r}")
        db._handles.add(self)

    def close(self):
        if self._h:
            library().ZAVL_CloseData(self._h)
            self._h = None
            self._db._handles.discard(self)

    def __del__(self):
        try:
            self.close()
        except Exception:  # the library may be gone at interpreter exit
            pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _check(self):
        if not self._h:
            raise Error(ERR_HANDLE, "closed table")
        return self._h

    def _read(self, size):
        buffer = library().ZAVL_GetBuffer(self._check())
        if not buffer:
            raise _failed("reading the buffer")
        return ctypes.string_at(buffer, size)

    def _walk(self, read):
        """`read(position)` at every row from the first on."""
        lib = library()
        position = lib.ZAVL_GetFirst(self._check())
        while position != -1:
            yield read(position)
            position = lib.ZAVL_GetNext(self._check())
        status = lib.ZAVL_GetLastError()
        if status not in (OK, STATUS_END):
            raise Error(status, "reading")


def _list_rows(db, name, raw, size):
    """The rows of one of the dictionary's lists, as bytes."""
    with _Handle(db, name, "list", raw) as handle:
        return list(handle._walk(lambda position: handle._read(size)))


def _int(row, at):
    return struct.unpack_from("<i", row, at)[0]


class Table(_Handle):
    """The records of a table, in the order of the current key.

    Iterating yields dicts (field name: Python value), or the raw records as
    bytes for a table opened with raw=True.
    """

    def __init__(self, db, name, raw=False):
        self.name = name
        super().__init__(db, name, "table", raw)
        self.fields = db.fields(name)
        self.record_length = db._record_lengths(raw)[name]
        # A fixed-length text that fills its field does not fit its exchange
        # slot (which keeps room for a terminating zero): such fields are
        # read from the stored record, through a second handle moved to the
        # same position.
        self._from_stored, self._stored = [], None
        offset = 0
        for f in self.fields:
            if (not raw and f.type == _values.FT_STRING and f.stored_size >= f.size
                    and _values.base_type(f.stored_type) in _values.FIXED_TEXT_TYPES):
                self._from_stored.append((f.name, offset, f.stored_size))
            offset += f.stored_size
        if self._from_stored:
            self._stored = _Handle(db, name, "table", True)
            self._stored_length = db._record_lengths(True)[name]

    def close(self):
        stored = getattr(self, "_stored", None)
        if stored is not None:
            stored.close()
        super().close()

    def _current(self, position):
        record = self._read(self.record_length)
        if self.raw:
            return record
        values = {f.name: _values.decode_slot(f, record) for f in self.fields}
        if self._stored is not None:
            if library().ZAVL_RePos(self._stored._check(), position) == -1:
                raise _failed(f"reading {self.name!r}")
            stored = self._stored._read(self._stored_length)
            for name, offset, size in self._from_stored:
                values[name] = _values.decode_text(stored[offset:offset + size])
        return values

    def __iter__(self):
        return self._walk(self._current)

    def __len__(self):
        count = library().ZAVL_GetNbRecords(self._check())
        if count < 0:
            raise _failed(f"counting {self.name!r}")
        return count

    def key_numbers(self):
        """The numbers of the table's keys (0, 1, ...).

        The C interface describes no key (names and segments are in the
        tool's `keys` listing): a key exists when a second handle can make it
        current, so this handle's key and range stay as they are."""
        lib = library()
        self._check()
        numbers = []
        with _Handle(self._db, self.name, "table", True) as probe:
            while lib.ZAVL_SetKeyrange(probe._h, len(numbers), None, 0, None, 0):
                numbers.append(len(numbers))
            status = lib.ZAVL_GetLastError()
        if status != 6:  # invalid key number: the first past the last key
            raise Error(status, f"keys of {self.name!r}")
        return numbers

    def _key_bytes(self, value):
        if isinstance(value, str):
            return _values.encode_text(value)
        if isinstance(value, (bytes, bytearray)):
            return bytes(value)
        if isinstance(value, (tuple, list)):
            return b"".join(self._key_bytes(part) for part in value)
        raise TypeError("a key value is a str, bytes (stored form) or a tuple of them")

    def set_range(self, key, low=None, high=None):
        """Makes `key` current (-1: physical order) and bounds the walk to
        [low, high]; a low value alone selects the keys starting with it."""
        lo = self._key_bytes(low) if low is not None else None
        hi = self._key_bytes(high) if high is not None else None
        if not library().ZAVL_SetKeyrange(self._check(), key, lo, len(lo or b""),
                                          hi, len(hi or b"")):
            raise _failed(f"key range on {self.name!r}")

    def range(self, key, low=None, high=None):
        """The records whose key `key` lies in [low, high] (see set_range).
        The key and range stay current until the next set_range or range."""
        self.set_range(key, low, high)
        return iter(self)

    def seek(self, key, value):
        """The first record whose key `key` equals `value`, else None."""
        data = self._key_bytes(value)
        position = library().ZAVL_GetEqual(self._check(), key, data, len(data))
        if position == -1:
            status = library().ZAVL_GetLastError()
            if status in (STATUS_KEY_NOT_FOUND, STATUS_END):
                return None
            raise Error(status, f"seeking in {self.name!r}")
        return self._current(position)

    def locate(self, values=None, **more):
        """The first record whose fields have the given values, else None.

        Values are compared with the library's text of each field; Python
        values are written in that form (booleans "Vrai"/"Faux", decimal
        comma, dates dd/mm/yyyy), texts are passed as given."""
        values = dict(values or {}, **more)
        if not values:
            raise ValueError("locate needs at least one field value")
        by_name = {f.name: f for f in self.fields}
        texts = [_values.encode_text(_values.locate_text(by_name.get(n), v))
                 for n, v in values.items()]
        array = (ctypes.c_char_p * (len(texts) + 1))(*texts, None)
        names = _values.encode_text(",".join(values))
        position = library().ZAVL_Locate(self._check(), names, array)
        if position == -1:
            status = library().ZAVL_GetLastError()
            if status in (ERR_CREATE, STATUS_KEY_NOT_FOUND, STATUS_END):
                return None
            raise Error(status, f"locating in {self.name!r}")
        return self._current(position)

    def to_pandas(self):
        """The records (of the current key range) as a pandas DataFrame."""
        return to_pandas(self)


class Database:
    """An open dictionary. Close it (or use `with`) to close its tables too."""

    def __init__(self, path, flags=0):
        lib = library()
        self.path = path
        self._handles = weakref.WeakSet()
        self._exchange = self._raw = None
        encoded = os.fsencode(path)
        self._exchange = lib.ZAVL_OpenSchema(encoded, flags | SCHEMA_EXCHANGE | SCHEMA_QUIET)
        if not self._exchange:
            raise _failed(f"opening {path!r}")
        self._raw = lib.ZAVL_OpenSchema(encoded, (flags & ~SCHEMA_EXCHANGE) | SCHEMA_QUIET)
        if not self._raw:
            error = _failed(f"opening {path!r}")
            self.close()
            raise error
        self._lengths = {}
        self._fields = {}

    def close(self):
        for handle in list(self._handles):
            handle.close()
        for schema in (self._exchange, self._raw):
            if schema:
                library().ZAVL_CloseSchema(schema)
        self._exchange = self._raw = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        if getattr(self, "_handles", None) is not None:
            self.close()

    def _check(self):
        if not self._exchange:
            raise Error(ERR_HANDLE, "closed dictionary")

    def _schema(self, handle):
        return self._raw if handle.raw else self._exchange

    @property
    def version(self):
        self._check()
        return library().ZAVL_GetDicoVersion(self._exchange)

    def _record_lengths(self, raw):
        if raw not in self._lengths:
            # A list opened in the exchange schema gives exchange lengths.
            self._lengths[raw] = {_values.decode_text(row[:32]): _int(row, 32)
                                  for row in _list_rows(self, "", raw, 36)}
        return self._lengths[raw]

    def tables(self):
        """The names of the tables, in dictionary order."""
        return list(self._record_lengths(False))

    def fields(self, table):
        """The fields of `table`, in record order."""
        if table not in self._fields:
            if table not in self._record_lengths(False):
                raise Error(ERR_NOT_A_TABLE, f"fields of {table!r}")
            exchange = _list_rows(self, "#" + table, False, 325)
            stored = _list_rows(self, "#" + table, True, 325)
            fields, offset = [], 0
            for row, raw in zip(exchange, stored):
                size = _int(row, 33)
                fields.append(Field(
                    name=_values.decode_text(row[:32]), type=row[32], stored_type=raw[32],
                    offset=offset, size=size, decimals=_int(row, 37), stored_size=_int(raw, 33),
                    label=_values.decode_text(row[41:169]),
                    category=_values.decode_text(row[169:297]),
                    user_defined=_int(row, 297) == 1))
                offset += size
            # The elements of an array field share its name: they become
            # NAME[1], NAME[2]... as in the tool's listings.
            seen = {}
            for f in fields:
                seen[f.name] = seen.get(f.name, 0) + 1
            index = {}
            for i, f in enumerate(fields):
                if seen[f.name] > 1:
                    index[f.name] = index.get(f.name, 0) + 1
                    fields[i] = dataclasses.replace(f, name=f"{f.name}[{index[f.name]}]")
            self._fields[table] = fields
        return list(self._fields[table])

    def table(self, name, raw=False):
        """The table `name`: records as dicts, or as stored bytes when raw."""
        return Table(self, name, raw)


def open(path, flags=0):  # noqa: A001 - the package's entry point
    """Opens the dictionary at `path`."""
    return Database(path, flags)


def to_pandas(records, columns=None):
    """A pandas DataFrame of a table (or of any iterable of record dicts)."""
    try:
        import pandas
    except ImportError as error:
        raise ImportError("to_pandas needs pandas (python3-pandas)") from error
    if columns is None and isinstance(records, Table):
        columns = [f.name for f in records.fields]
    return pandas.DataFrame.from_records(list(records), columns=columns)
