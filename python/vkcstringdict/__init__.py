"""Translation dictionaries of the vkcsubst tools, from Python.

A Dictionary holds records of three texts: `eng`, the source text and the
sort key; `chi`, its translation; `remark`, a note. Texts are bytes: ENG texts
ASCII, translations GBK (code page 936). Texts passed in may also be str,
which are encoded as GBK; texts handed out are always bytes, and
decode_gbk()/encode_gbk() convert them. A script to rewrite and dictionary
text to load are bytes only: they keep their CR LF line breaks and every
byte as read in binary mode.

    import vkcstringdict
    with vkcstringdict.Dictionary.load("dict.txt") as d:
        record = d.find(b"Start Game")
        if record is not None:
            print(vkcstringdict.decode_gbk(record.chi))
        translated = d.rewrite(open("script.txt", "rb").read())

A file that does not open raises the OSError that says why
(FileNotFoundError, PermissionError, IsADirectoryError, ...), with `errno`
and `filename` set; that exception is a LoadError too, so code that catches
LoadError still catches it. A file that opens but does not load whole raises
LoadError alone.

The package runs over the shared library libvkcstringdict.so.1
(vkcstringdict.dll on Windows) through ctypes; see _native.py for where it is
looked for. A Dictionary owns one handle of the library, freed by close(), by
the end of a `with` block or when the object is collected. The library's
handles take one thread at a time, so each Dictionary holds a lock around its
calls: threads may share one, and different ones work in parallel.
"""
from __future__ import annotations

import codecs as _codecs
import ctypes as _ctypes
import errno as _errno
import functools as _functools
import operator as _operator
import os as _os
import sys as _sys
import threading as _threading
from typing import (Any, Callable, Iterator, List, NamedTuple, NoReturn, Optional, Tuple, Type,
                    TypeVar, Union, cast, overload)

from . import _native
from ._native import lib as _lib

__all__ = ["Dictionary", "Record", "Error", "LoadError", "decode_gbk", "encode_gbk",
           "library_version", "library_path"]
__version__ = "1.0.0"

#: The shared library's version ("MAJOR.MINOR.PATCH") and the file loaded.
library_version: str = _native.version
library_path: str = _native.path

#: What a text argument takes: bytes as they are, str encoded as GBK.
_Text = Union[bytes, bytearray, memoryview, str]
#: What a path argument takes, as open() does.
_Path = Union[str, bytes, "_os.PathLike[str]", "_os.PathLike[bytes]"]


def __dir__() -> List[str]:
    """The public names only: the modules and helpers the package uses stay
    out of dir() and completion."""
    return sorted(__all__ + ["__version__"])


# ---- GBK

def _gbk_handler(errors: str) -> str:
    """An error handler that maps the euro sign to and from byte 0x80, as code
    page 936 does (Python's gbk codec leaves 0x80 undefined), and passes every
    other failure to the handler named `errors`."""
    name = "vkcstringdict-gbk-" + errors
    try:
        _codecs.lookup_error(name)
        return name
    except LookupError:
        pass
    fallback = _codecs.lookup_error(errors)

    def handle(error: UnicodeError) -> Tuple[Union[str, bytes], int]:
        if isinstance(error, UnicodeDecodeError):
            if error.object[error.start] == 0x80:
                return "\u20ac", error.start + 1
        elif isinstance(error, UnicodeEncodeError):
            if error.object[error.start] == "\u20ac":
                return b"\x80", error.start + 1
            euro = error.object.find("\u20ac", error.start, error.end)
            if euro > 0:
                error = UnicodeEncodeError(error.encoding, error.object, error.start, euro,
                                           error.reason)
        return fallback(error)

    _codecs.register_error(name, handle)
    return name


def decode_gbk(data: Union[bytes, bytearray, memoryview], errors: str = "strict") -> str:
    """GBK bytes (code page 936: 0x80 is the euro sign) to str."""
    return bytes(data).decode("gbk", _gbk_handler(errors))


def encode_gbk(text: str, errors: str = "strict") -> bytes:
    """str to GBK bytes (code page 936: the euro sign is 0x80)."""
    return text.encode("gbk", _gbk_handler(errors))


# ---- Records and errors

class Record(NamedTuple):
    """One record: three texts as bytes. A copy: it stays as it is whatever
    happens to the dictionary afterwards."""
    eng: bytes
    chi: bytes
    remark: bytes

    def decode(self, errors: str = "strict") -> Tuple[str, str, str]:
        """The three texts as str, decoded as GBK: (eng, chi, remark)."""
        return (decode_gbk(self.eng, errors), decode_gbk(self.chi, errors),
                decode_gbk(self.remark, errors))


_new_record = cast(Callable[[Type[Record], Tuple[bytes, bytes, bytes]], Record], tuple.__new__)


def _record(entry: _native.vkc_record) -> Record:
    """A Record of copies of the texts the library handed out in `entry`."""
    return _new_record(Record, (entry.eng[:entry.eng_len], entry.chi[:entry.chi_len],
                                entry.remark[:entry.remark_len]))


class Error(Exception):
    """A call of the library failed. `message` is the library's own message,
    `code` its result (a negative VKC_E_* value)."""

    def __init__(self, message: str, code: int) -> None:
        super().__init__(message)
        self.message = message
        self.code = code

    def __reduce__(self) -> Tuple[Any, ...]:
        # Rebuilt from its attributes, so that it pickles (as a failure in a
        # worker process reaches its parent) whatever its constructor takes.
        return _rebuilt, (type(self), self.args), self.__dict__


def _rebuilt(kind: Type[Error], args: Tuple[Any, ...]) -> Error:
    """An Error of class `kind` before its attributes are put back."""
    return kind.__new__(kind, *args)


class LoadError(Error):
    """A dictionary did not load whole. `index` is the broken record's index
    (the number of records before it), or None when nothing was loaded: an
    empty or oversized file, a file that did not open, or no dictionary at
    all. `path` is the file's path as given, or None for text loaded from
    memory.

    A file that did not open raises an exception that is both a LoadError and
    the OSError that says why (FileNotFoundError, PermissionError,
    IsADirectoryError, ...), with `errno`, `strerror` and `filename` set."""

    def __init__(self, message: str, code: int, index: Optional[int] = None,
                 path: Optional[Union[str, bytes]] = None) -> None:
        super().__init__(message, code)
        self.index = index
        self.path = path


class _NotOpened(LoadError, OSError):
    """A dictionary file that did not open: an OSError as open() raises it
    (str() is "[Errno N] cause: 'name'"), and a LoadError whose `message` is
    the library's. Built from the arguments an OSError takes, so that it
    pickles as one."""

    def __init__(self, errno: int, strerror: str, filename: Union[str, bytes]) -> None:
        OSError.__init__(self, errno, strerror, filename)
        self.message = "%s: %s" % (_os.fsdecode(filename), strerror)
        self.code = _native.E_OPEN
        self.index = None
        self.path = filename

    def __reduce__(self) -> Tuple[Any, ...]:
        # Rebuilt as an OSError is, from errno, strerror and filename.
        return cast(Tuple[Any, ...], OSError.__reduce__(self))


class _FileNotFoundError(_NotOpened, FileNotFoundError):
    pass


class _PermissionError(_NotOpened, PermissionError):
    pass


class _IsADirectoryError(_NotOpened, IsADirectoryError):
    pass


class _NotADirectoryError(_NotOpened, NotADirectoryError):
    pass


_NOT_OPENED = {FileNotFoundError: _FileNotFoundError, PermissionError: _PermissionError,
               IsADirectoryError: _IsADirectoryError, NotADirectoryError: _NotADirectoryError}


def _why_not_opened(path: Union[str, bytes]) -> Optional[_NotOpened]:
    """The exception for a dictionary file at `path` that the library could
    not read, from opening it again now; None when it opens (it was empty or
    too large, or came since). A folder is told as one on every system, and
    the file is opened without waiting, so a FIFO never blocks here."""
    try:
        if _os.path.isdir(path):
            raise IsADirectoryError(_errno.EISDIR, _os.strerror(_errno.EISDIR))
        _os.close(_os.open(path, _os.O_RDONLY | getattr(_os, "O_NONBLOCK", 0)))
        return None
    except OSError as error:
        kind = _NOT_OPENED.get(type(error), _NotOpened)
        return kind(error.errno, error.strerror, path)


# ---- Arguments

def _type_error(function: str, argument: str, takes: str, value: object,
                hint: str = "") -> TypeError:
    return TypeError("%s() argument '%s' must be %s, not %s%s" %
                     (function, argument, takes, type(value).__name__, hint))


def _text(text: object, function: str, argument: str = "text") -> bytes:
    """A text argument as bytes: bytes as they are, str encoded as GBK."""
    if type(text) is not bytes:
        if isinstance(text, str):
            text = encode_gbk(text)
        elif isinstance(text, (bytes, bytearray, memoryview)):
            text = bytes(text)
        else:
            raise _type_error(function, argument, "bytes or str", text)
    assert isinstance(text, bytes)
    if b"\0" in text:
        raise ValueError("%s(): a text cannot hold a NUL byte: the dictionary's texts end at one"
                         % function)
    return text


def _optional_text(text: object, function: str, argument: str) -> Optional[bytes]:
    return None if text is None else _text(text, function, argument)


def _bytes_like(data: object, function: str, argument: str, why_not_str: str) -> bytes:
    """An argument that takes bytes or a bytes-like object, as bytes. str is
    refused with `why_not_str`: these arguments pass through byte for byte."""
    if type(data) is bytes:
        return data
    if isinstance(data, str):
        raise _type_error(function, argument, "bytes or a bytes-like object", data,
                          ": " + why_not_str)
    try:
        return memoryview(data).tobytes()  # type: ignore[arg-type]
    except TypeError:
        raise _type_error(function, argument, "bytes or a bytes-like object", data) from None


def _index(index: object, function: Optional[str]) -> int:
    """An index argument as an int; `function` None for d[index]."""
    try:
        return _operator.index(index)  # type: ignore[arg-type]
    except TypeError:
        if function is None:
            hint = "; find() looks a text up" if isinstance(index, (str, bytes)) else ""
            raise TypeError("Dictionary indices must be integers or slices, not %s%s"
                            % (type(index).__name__, hint)) from None
        raise _type_error(function, "index", "an integer", index) from None


def _given_path(path: _Path, function: str) -> Union[str, bytes]:
    """A path argument as str or bytes, as the caller wrote it (for the
    messages and the exceptions)."""
    try:
        return _os.fspath(path)
    except TypeError:
        raise _type_error(function, "path", "str, bytes or os.PathLike", path) from None


def _path(path: Union[str, bytes]) -> bytes:
    """An absolute path as the library takes it: bytes in the file system's
    encoding (on Windows the ANSI code page, which the library's file calls
    use)."""
    absolute = _os.path.abspath(path)
    if _sys.platform == "win32":
        encoded = _os.fsdecode(absolute).encode("mbcs")
    else:
        encoded = _os.fsencode(absolute)
    if b"\0" in encoded:
        raise ValueError("a path cannot hold a NUL byte")
    return encoded


_Method = TypeVar("_Method", bound=Callable[..., Any])


def _locked(method: _Method) -> _Method:
    """Runs `method` under the dictionary's lock: the library's handle takes
    one call at a time, and its last error and the record it hands out belong
    to that call."""
    @_functools.wraps(method)
    def locked(self: Dictionary, *arguments: Any, **keywords: Any) -> Any:
        with self._lock:
            return method(self, *arguments, **keywords)
    return cast(_Method, locked)


_find = _native.find_unchecked


class Dictionary:
    """A translation dictionary: records in ascending order of their ENG
    texts (bytes compared unsigned), as lookups need them.

    len(d), d[i] (negative too; slices give lists), iteration and `text in d`
    work as for a sequence of Records.
    """

    def __init__(self) -> None:
        self._lock = _threading.RLock()
        handle: Optional[int] = _lib.vkc_dict_new()
        if not handle:
            raise MemoryError("vkcstringdict: no memory for a new dictionary")
        self._handle: Optional[int] = handle
        # The handle as the unchecked lookup takes it.
        self._handle_argument: Optional[_ctypes.c_void_p] = _ctypes.c_void_p(handle)
        self._entry = _native.vkc_record()
        self._entry_ref = _ctypes.byref(self._entry)
        self._index = _ctypes.c_uint32()
        self._index_ref = _ctypes.byref(self._index)
        # The path of the file loaded, as given, for reload().
        self._source: Optional[Union[str, bytes]] = None
        # The piecewise matcher's output buffer, large enough for any piece
        # of any CHI text; None after a load or an edit, which may change the
        # size needed.
        self._match_buffer: Optional[_ctypes.Array[_ctypes.c_char]] = None
        #: The LoadError of a load with partial=True that stopped at a broken
        #: record; None otherwise.
        self.load_error: Optional[LoadError] = None

    # -- life

    @_locked
    def close(self) -> None:
        """Frees the library's handle; the dictionary can no longer be used.
        Closing twice does nothing."""
        handle, self._handle = self._handle, None
        self._handle_argument = None
        if handle:
            _lib.vkc_dict_free(handle)

    def __del__(self, _free: Callable[[int], None] = _lib.vkc_dict_free) -> None:
        handle = getattr(self, "_handle", None)
        if handle:
            self._handle = None
            _free(handle)

    def __enter__(self) -> Dictionary:
        return self

    def __exit__(self, *exception: object) -> None:
        self.close()

    def __repr__(self) -> str:
        if self._handle is None:
            return "<vkcstringdict.Dictionary, closed>"
        return "<vkcstringdict.Dictionary of %d records>" % len(self)

    def _fail(self, result: int, error: Type[Error] = Error,
              shown: Optional[Tuple[bytes, Union[str, bytes]]] = None,
              **details: Any) -> NoReturn:
        """Raises the exception for a failed call's result. `shown`: the path
        the library was given and the one the caller gave, which the message
        shows instead."""
        if self._handle is None:
            raise ValueError("the dictionary is closed")
        raw: bytes = _lib.vkc_dict_last_error(self._handle) or b""
        message = raw.decode("utf-8", "backslashreplace")
        if shown is not None:
            message = message.replace(shown[0].decode("utf-8", "backslashreplace"),
                                      _os.fsdecode(shown[1]))
        if result == _native.E_MEMORY:
            raise MemoryError(message)
        if result == _native.E_RANGE:
            raise IndexError(message)
        raise error(message, result, **details)

    # -- loading

    @_locked
    def _load(self, call: Callable[..., int], argument: Optional[bytes],
              source: Optional[Union[str, bytes]], partial: bool) -> None:
        count = _ctypes.c_uint32()
        self._match_buffer = None
        result = call(self._handle, argument, _ctypes.byref(count))
        if result == _native.OK:
            return
        shown = None if argument is None or source is None else (argument, source)
        if result == _native.E_BROKEN:
            try:
                self._fail(result, LoadError, shown, index=count.value, path=source)
            except LoadError as error:
                if not partial:
                    raise
                self.load_error = error
                return
        if result == _native.E_OPEN and source is not None:
            not_opened = _why_not_opened(source)
            if not_opened is not None:
                raise not_opened
        self._fail(result, LoadError, shown, path=source)

    def _load_file(self, call: Callable[..., int], path: _Path, partial: bool,
                   function: str) -> None:
        source = _given_path(path, function)
        self._source = None
        self._load(call, _path(source), source, partial)
        if function == "load":  # the one that reload() repeats
            self._source = source

    @classmethod
    def load(cls, path: _Path, partial: bool = False) -> Dictionary:
        """Loads a dictionary text file (path: str, bytes or os.PathLike).

        A file that does not open raises the OSError that says why
        (FileNotFoundError, PermissionError, IsADirectoryError, ...), which
        is a LoadError too. A file that does not load whole raises LoadError:
        an empty or oversized one (over 200,000,000 bytes), one without
        records, or one with a broken record (LoadError.index: its index).
        With partial=True a broken record is no error: the records before it
        are kept, as vkcsubst keeps them, and `load_error` holds the
        LoadError.
        """
        dictionary = cls()
        try:
            dictionary._load_file(_lib.vkc_dict_load_file, path, partial, "load")
        except BaseException:
            dictionary.close()
            raise
        return dictionary

    @classmethod
    def load_image(cls, path: _Path) -> Dictionary:
        """Loads a binary dictionary image (as `vkcdict compile` writes); the
        OSError of load() when it does not open, LoadError when it is
        refused."""
        dictionary = cls()
        try:
            dictionary._load_file(_lib.vkc_dict_load_image, path, False, "load_image")
        except BaseException:
            dictionary.close()
            raise
        return dictionary

    @classmethod
    def loads(cls, data: Union[bytes, bytearray, memoryview],
              partial: bool = False) -> Dictionary:
        """Loads dictionary text held in memory (bytes or a bytes-like
        object), as load() loads a file. The text ends at its first NUL byte,
        if it holds one."""
        data = _bytes_like(data, "loads", "data",
                           "dictionary text keeps its CR LF line breaks only as bytes; read the "
                           "file in binary mode ('rb')")
        dictionary = cls()
        try:
            dictionary._load(_lib.vkc_dict_load_string, data, None, partial)
        except BaseException:
            dictionary.close()
            raise
        return dictionary

    def reload(self, partial: bool = False) -> None:
        """Loads the dictionary text file last loaded with load() again;
        failures as load()'s."""
        source = self._source
        if source is None:
            raise ValueError("no dictionary text file was loaded into this dictionary")
        self.load_error = None
        self._load(lambda handle, _, count: int(_lib.vkc_dict_reload(handle, count)), None,
                   source, partial)

    # -- writing

    @_locked
    def append_to(self, path: _Path) -> None:
        """Appends the whole dictionary, as a dictionary text file (header,
        records, end line), to the end of the file at `path`, creating it
        when it is missing: the library's own writer. A failed write raises
        Error; what was written before it stays."""
        given = _given_path(path, "append_to")
        absolute = _path(given)
        result = _lib.vkc_dict_append_to_file(self._handle, absolute)
        if result != _native.OK:
            self._fail(result, shown=(absolute, given))

    @_locked
    def save(self, path: _Path) -> None:
        """Writes the dictionary as a dictionary text file at `path`,
        replacing the file whole or not at all: the library writes a new file
        beside the target and renames it over the target only once it is
        complete. A symbolic link is followed (the file it reaches is
        replaced), an existing file's permissions and owner are kept, a FIFO
        or device is written into directly, and a read-only file is refused.
        A failure raises Error with the library's message, which names the
        target as given and the cause; the target is then as it was."""
        given = _given_path(path, "save")
        absolute = _path(given)
        result = _lib.vkc_dict_save(self._handle, absolute)
        if result != _native.OK:
            self._fail(result, shown=(absolute, given))

    # -- records

    @_locked
    def __len__(self) -> int:
        count = _ctypes.c_uint32()
        result = _lib.vkc_dict_count(self._handle, _ctypes.byref(count))
        if result != _native.OK:
            self._fail(result)
        return count.value

    @overload
    def __getitem__(self, index: int) -> Record: ...

    @overload
    def __getitem__(self, index: slice) -> List[Record]: ...

    @_locked
    def __getitem__(self, index: Union[int, slice]) -> Union[Record, List[Record]]:
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(len(self)))]
        # The library refuses an index past the end (IndexError).
        position = (index if type(index) is int and 0 <= index <= 0xFFFFFFFF
                    else self._position(index, None))
        result = _lib.vkc_dict_record(self._handle, position, self._entry_ref)
        if result != _native.OK:
            self._fail(result)
        return _record(self._entry)

    def __iter__(self) -> Iterator[Record]:
        index = 0
        while True:
            try:
                record = self[index]
            except IndexError:
                return
            yield record
            index += 1

    def __contains__(self, text: object) -> bool:
        if not isinstance(text, (bytes, bytearray, memoryview, str)):
            raise TypeError("'in <Dictionary>' requires bytes or str as left operand, not %s"
                            % type(text).__name__)
        return self.find(text) is not None

    def _position(self, index: object, function: Optional[str]) -> int:
        """A sequence index (negative counts from the end) as a record index;
        IndexError outside the records. `function` as _index() takes it."""
        position = _index(index, function)
        count = len(self)
        if position < 0:
            position += count
        if not 0 <= position < count:
            raise IndexError("record index out of range")
        return position

    # -- lookups

    def find(self, text: _Text) -> Optional[Record]:
        """The record whose ENG text equals `text` (blanks around it
        ignored), or None."""
        key = _text(text, "find")
        with self._lock:
            result = _find(self._handle_argument, key, self._entry_ref, None)
            if result == _native.OK:
                return _record(self._entry)
            if result == _native.NOT_FOUND:
                return None
            self._fail(result)

    @_locked
    def find_index(self, text: _Text) -> int:
        """The index of the record whose ENG text equals `text` (blanks
        around it ignored); when there is none, the index at which it would
        be inserted (0 to len(self))."""
        found = _ctypes.c_int()
        result = _lib.vkc_dict_find_index(self._handle, _text(text, "find_index"),
                                          self._index_ref, _ctypes.byref(found))
        if result != _native.OK:
            self._fail(result)
        return self._index.value

    # -- editing (every edit ends a piecewise match)

    @_locked
    def add(self, eng: _Text, chi: Optional[_Text] = None,
            remark: Optional[_Text] = None) -> Record:
        """Adds a record with `eng` (blanks around it cut) as its key, at its
        sorted place; a CHI text or remark of None stands for `eng` as given.
        Returns the new Record, or the existing one of that key, unchanged."""
        texts = (_text(eng, "add", "eng"), _optional_text(chi, "add", "chi"),
                 _optional_text(remark, "add", "remark"))
        self._match_buffer = None
        result = _lib.vkc_dict_add(self._handle, *texts, self._entry_ref, None)
        if result != _native.OK:
            self._fail(result)
        return _record(self._entry)

    @_locked
    def insert_blank(self, index: int) -> None:
        """Inserts a record of three empty texts before `index`, as
        list.insert places an item (at the end when `index` is at or beyond
        the end). The order of the records is not kept."""
        position = _index(index, "insert_blank")
        count = len(self)
        if position < 0:
            position = max(0, position + count)
        position = min(position, count)
        self._match_buffer = None
        result = _lib.vkc_dict_insert_blank(self._handle, position, None)
        if result != _native.OK:
            self._fail(result)

    @_locked
    def _set(self, call: Callable[..., int], function: str, index: int,
             text: Optional[_Text]) -> None:
        value = _optional_text(text, function, "text")
        self._match_buffer = None
        result = call(self._handle, self._position(index, function), value)
        if result != _native.OK:
            self._fail(result)

    def set_eng(self, index: int, text: Optional[_Text]) -> None:
        """Replaces the ENG text of record `index`, as given: not trimmed and
        not re-sorted. None is the empty text."""
        self._set(_lib.vkc_dict_set_eng, "set_eng", index, text)

    def set_chi(self, index: int, text: Optional[_Text]) -> None:
        """Replaces the CHI text of record `index`; None is the empty text."""
        self._set(_lib.vkc_dict_set_chi, "set_chi", index, text)

    def set_remark(self, index: int, text: Optional[_Text]) -> None:
        """Replaces the remark of record `index`; None is the empty text."""
        self._set(_lib.vkc_dict_set_remark, "set_remark", index, text)

    # -- piecewise matching and rewriting

    @_locked
    def match(self, piece: _Text) -> Tuple[int, bytes]:
        """Takes the next piece of a source text that arrives in pieces and
        returns (result, piece of its translation): (1, piece) while the
        match goes on, (2, the rest of the translation) when the piece
        completes the ENG text, (0, b"") when nothing matches."""
        text = _text(piece, "match", "piece")
        buffer = self._match_buffer
        if buffer is None:
            # Room for the longest CHI text: the completing call hands out all
            # that is left of one.
            capacity = _ctypes.c_uint32()
            result = _lib.vkc_dict_match_capacity(self._handle, _ctypes.byref(capacity))
            if result != _native.OK:
                self._fail(result)
            buffer = self._match_buffer = _ctypes.create_string_buffer(capacity.value)
        result = _lib.vkc_dict_match(self._handle, text, buffer, len(buffer))
        if result < 0:
            self._fail(result)
        return result, buffer.value if result else b""

    @_locked
    def rewrite(self, script: Union[bytes, bytearray, memoryview]) -> bytes:
        """The script (bytes or a bytes-like object; str is refused, since a
        script passes through byte for byte) with every text between '[' and
        ']' or between two double quotes replaced by its translation, exactly
        as vkcsubst rewrites a script file."""
        data = _bytes_like(script, "rewrite", "script",
                           "a script is rewritten byte for byte; read it in binary mode ('rb'), "
                           "or encode it with encode_gbk()")
        out = _ctypes.c_void_p()
        length = _ctypes.c_size_t()
        result = _lib.vkc_rewrite(self._handle, data, len(data), _ctypes.byref(out),
                                  _ctypes.byref(length))
        if result != _native.OK:
            self._fail(result)
        try:
            return _ctypes.string_at(out.value or 0, length.value) if length.value else b""
        finally:
            _lib.vkc_buffer_free(out.value)
