"""Python values from the slots of the exchange layout, and texts for Locate."""
import codecs
import ctypes
import datetime
import decimal
import struct
import uuid

# Exchange slot types (ZAVL_FT_* of zavl.h).
FT_UNKNOWN, FT_STRING, FT_SMALLINT, FT_INTEGER, FT_BOOLEAN, FT_FLOAT = 0, 1, 2, 3, 5, 6
FT_DATE, FT_TIME, FT_DATETIME, FT_BYTES, FT_BLOB, FT_MEMO, FT_GRAPHIC = 9, 10, 11, 12, 15, 16, 17
FT_FIXEDCHAR, FT_GUID = 23, 35

# Stored type codes whose values are scaled integers (fixed-point amounts),
# and the unsigned integer ones; an extended form adds 128 or 136.
AMOUNT_TYPES = {12, 20, 29}
# The decimals a type's text always shows (currency, 64-bit fixed point);
# other amounts show their field's decimals.
TEXT_DECIMALS = {29: 4, 20: 7}
UNSIGNED_TYPES = {14, 16, 18, 27}
# Texts stored without a terminating zero when they fill their field.
FIXED_TEXT_TYPES = {7, 21}

POINTER_SIZE = ctypes.sizeof(ctypes.c_void_p)
_POINTER = "<Q" if POINTER_SIZE == 8 else "<I"
_OLE_EPOCH = datetime.datetime(1899, 12, 30)


def base_type(code):
    """The stored type code without its extended-form offset."""
    if 136 <= code <= 161:
        return code - 136
    return code - 128 if code >= 128 else code


def _cp1252_lenient(error):
    # The five bytes Windows-1252 leaves undefined map to the code points of
    # the same value, as the Windows conversion functions do.
    if isinstance(error, UnicodeDecodeError):
        return chr(error.object[error.start]), error.start + 1
    if isinstance(error, UnicodeEncodeError):
        ch = error.object[error.start]
        if ord(ch) < 256:
            return bytes([ord(ch)]), error.start + 1
    raise error


codecs.register_error("tavelnor-cp1252", _cp1252_lenient)


def decode_text(raw):
    """Windows-1252 bytes up to the first zero, as a str."""
    zero = raw.find(b"\0")
    if zero >= 0:
        raw = raw[:zero]
    return raw.decode("cp1252", "tavelnor-cp1252")


def encode_text(text):
    return text.encode("cp1252", "tavelnor-cp1252")


def _ole_datetime(days):
    # OLE dates before 1899-12-30 count whole days backwards but the time of
    # day forwards.
    whole = int(days)
    fraction = abs(days - whole)
    moment = _OLE_EPOCH + datetime.timedelta(days=whole) + datetime.timedelta(days=fraction)
    return moment.replace(microsecond=0) + datetime.timedelta(
        milliseconds=round(moment.microsecond / 1000))


def _amount(value, field):
    # Exactly representable scaled integers come back as their shortest
    # repr; shown with at least the field's decimals.
    amount = decimal.Decimal(repr(value))
    if field.decimals > 0 and amount.as_tuple().exponent > -field.decimals:
        amount = amount.quantize(decimal.Decimal(1).scaleb(-field.decimals))
    return amount


def _block(buffer, at):
    length, = struct.unpack_from("<I", buffer, at)
    pointer, = struct.unpack_from(_POINTER, buffer, at + 4)
    if length == 0 or pointer == 0:
        return b""
    return ctypes.string_at(pointer, length)


def decode_slot(field, buffer):
    """The value of `field` from an exchange buffer (bytes)."""
    at, kind = field.offset, field.type
    if kind == FT_STRING:
        return decode_text(buffer[at:at + field.size])
    if kind == FT_FIXEDCHAR:
        return decode_text(buffer[at:at + 1])
    if kind == FT_SMALLINT:
        return struct.unpack_from("<H" if field.unsigned else "<h", buffer, at)[0]
    if kind == FT_INTEGER:
        return struct.unpack_from("<I" if field.unsigned else "<i", buffer, at)[0]
    if kind == FT_BOOLEAN:
        return buffer[at] != 0
    if kind == FT_FLOAT:
        value, = struct.unpack_from("<d", buffer, at)
        return _amount(value, field) if field.is_amount else value
    if kind == FT_DATE:
        days, = struct.unpack_from("<i", buffer, at)
        return datetime.date.fromordinal(days) if 0 < days <= datetime.date.max.toordinal() else None
    if kind == FT_TIME:
        ms, = struct.unpack_from("<i", buffer, at)
        ms %= 86400000
        return datetime.time(ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000 * 1000)
    if kind == FT_DATETIME:
        days, = struct.unpack_from("<d", buffer, at)
        if days == 0:
            return None
        try:
            return _ole_datetime(days)
        except (OverflowError, ValueError):
            return None
    if kind == FT_GUID:
        raw = bytes(buffer[at:at + 16])
        return None if raw == bytes(16) else uuid.UUID(bytes_le=raw)
    if kind == FT_BYTES:
        return bytes(buffer[at:at + field.size])
    if kind == FT_MEMO:
        return decode_text(_block(buffer, at))
    if kind in (FT_BLOB, FT_GRAPHIC):
        return _block(buffer, at)
    return None


def locate_text(field, value):
    """`value` in the library's own text form of `field` (French locale)."""
    if isinstance(value, str):
        return value
    if value is None:
        return ""
    if isinstance(value, bool):
        return "Vrai" if value else "Faux"
    if isinstance(value, datetime.datetime):
        return value.strftime("%d/%m/%Y %H:%M:%S")
    if isinstance(value, datetime.date):
        return value.strftime("%d/%m/%Y")
    if isinstance(value, datetime.time):
        return value.strftime("%H:%M:%S")
    if isinstance(value, (decimal.Decimal, float)) and field is not None:
        places = TEXT_DECIMALS.get(base_type(field.stored_type), max(field.decimals, 0))
        return f"{decimal.Decimal(value):.{places}f}".replace(".", ",")
    return str(value)
