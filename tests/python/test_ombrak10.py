"""The Python module: calls by name, values across the boundary, write-backs, events, buddies,
errors and threads."""
import array
import gc
import threading
import weakref

import pytest

import ombrak10
from ombrak10 import LibraryError, Ref

OBJECT_ERROR = -2147221504


def create(name):
    return ombrak10.create("Ombrak10." + name)


def test_members_by_name_with_named_arguments_and_properties():
    b64 = ombrak10.create("ombrak10.CLSKVVESKENCDECBASE64A")
    assert b64.Encode64("Man") == "TWFu"
    assert b64.encode64(sInput="Ma") == "TWE="
    assert b64.DecodeArray64("TWFu") == b"Man"
    assert b64.EncodeArray64(bytearray(b"M")) == "TQ=="
    root = create("clsKvOmbrak10")
    assert root.GetProStdProperties.Major == 1  # a property of the object a property returns
    twofish = create("clsKvVeskEncDec2FishA")
    twofish.Key = "secret"  # property let, MinKeyLength left at its default
    sealed = twofish.EncryptString("attack at dawn", ombrak10.MISSING, True)
    ombrak10.invoke(twofish, "Key", 16, "secret", kind="let")
    assert twofish.DecryptString(sealed, IsTextIn64=True) != ""
    with pytest.raises(AttributeError):
        b64.NoSuchMember
    with pytest.raises(AttributeError):
        b64.Encode64 = "x"


@pytest.mark.parametrize(
    "text",
    ["", "plain", "\u20ac\u00e9", "a\ud800b", "\udfff", "\U0001f600 astral"],
)
def test_texts_keep_their_utf16_code_units(text):
    classic = create("clsKvVeskClassicCiphersA")
    # The reversal works on code units, so an astral character comes back as two reversed
    # surrogates: compare with the reversal done on UTF-16 units here.
    units = text.encode("utf-16-le", "surrogatepass")
    pairs = [units[i : i + 2] for i in range(0, len(units), 2)]
    expected = b"".join(reversed(pairs)).decode("utf-16-le", "surrogatepass")
    assert classic.ReverseString(text) == expected
    assert classic.ReverseString(expected) == text


def test_by_reference_arguments_come_back():
    classic = create("clsKvVeskClassicCiphersA")
    shift = Ref(30)
    assert classic.CaesarShift("Hello", shift) == "Lipps"
    assert shift.value == 4
    plain = 30
    classic.CaesarShift("Hello", plain)
    assert plain == 30

    tea = create("clsKvVeskEncDecTeaA")
    data = bytearray(b"attack at dawn")
    key = Ref("secret")
    tea.EncryptByte(data, key)
    assert len(data) > 14 and data != bytearray(b"attack at dawn")
    tea.DecryptByte(data, key)
    assert data == bytearray(b"attack at dawn")
    b64 = create("clsKvVeskEncDecBase64A")
    view = memoryview(b"0123456789")
    assert b64.DecodeArray64(b64.EncodeArray64(view[::-2])) == b"97531"  # strided, reversed
    wide = memoryview(array.array("H", [0x4241, 0x4443]))
    assert b64.DecodeArray64(b64.EncodeArray64(wide)) == wide.tobytes()
    frozen = b"attack at dawn"
    tea.EncryptByte(frozen, "secret")  # bytes are passed by value
    assert frozen == b"attack at dawn"


def test_progress_events_reach_callables_and_their_write_back_counts():
    huffman = create("clsKvVeskEncDecHuffmanA")
    seen = []

    def listen(percent):
        seen.append(percent.value)

    huffman.connect(listen)
    huffman.EncodeByte(bytearray(b"abracadabra"), 11)
    assert seen == [7, 12, 100]

    def finish_early(percent):
        seen.append(percent.value)
        percent.value = 100

    huffman.disconnect(listen)
    huffman.connect(finish_early)
    seen.clear()
    huffman.EncodeByte(bytearray(b"abracadabra"), 11)
    assert seen == [7, 12]  # each step reads 100 back, so no final 100

    class Sink:
        def __init__(self):
            self.values = []

        def Progress(self, percent):
            self.values.append(percent.value)

    huffman.disconnect(finish_early)
    sink = Sink()
    huffman.connect(sink)
    huffman.EncodeByte(bytearray(b"abracadabra"), 11)
    assert sink.values == [7, 12, 100] and seen == [7, 12]


def test_any_python_object_serves_as_buddy():
    huffman = create("clsKvVeskEncDecHuffmanA")

    class Buddy:
        def __init__(self):
            self.values = []

        def czveskencdechuffman_progress(self, percent):  # found without regard to case
            self.values.append(percent.value)

    buddy = Buddy()
    huffman.BuddyObject = buddy
    assert huffman.BuddyObject is buddy
    huffman.EncodeByte(bytearray(b"abracadabra"), 11)
    assert buddy.values == [7, 12, 100]

    calls = []
    huffman.BuddyObject = lambda percent: calls.append(percent.value)
    huffman.EncodeByte(bytearray(b"abracadabra"), 11)
    assert calls == [7, 12, 100]

    huffman.BuddyObject = object()  # no such method, not callable: error 438
    with pytest.raises(LibraryError) as e:
        huffman.EncodeByte(bytearray(b"abracadabra"), 11)
    assert e.value.number == 438


def test_callbacks_are_released_with_the_object():
    huffman = create("clsKvVeskEncDecHuffmanA")

    class Listener:
        def __call__(self, percent):
            pass

    sink, buddy = Listener(), Listener()
    gone = [weakref.ref(sink), weakref.ref(buddy)]
    huffman.connect(sink)
    huffman.BuddyObject = buddy
    huffman.EncodeByte(bytearray(b"abc"), 3)
    del sink, buddy
    gc.collect()
    assert all(r() is not None for r in gone)  # the object holds them
    del huffman
    gc.collect()
    assert all(r() is None for r in gone)


def test_a_failing_callback_fails_the_call_and_keeps_the_array():
    huffman = create("clsKvVeskEncDecHuffmanA")
    data = bytearray(b"abracadabra")

    def refuse_with_number(percent):
        e = LibraryError("the host refused")
        e.number, e.source, e.description = OBJECT_ERROR + 7, "HostBuddy", "the host refused"
        raise e

    huffman.BuddyObject = refuse_with_number
    with pytest.raises(LibraryError) as e:
        huffman.EncodeByte(data, 11)
    assert (e.value.number, e.value.source, e.value.description) == (
        OBJECT_ERROR + 7,
        "HostBuddy",
        "the host refused",
    )
    assert data == bytearray(b"abracadabra")

    def refuse(percent):
        raise LibraryError("refused")  # no number or source of its own

    huffman.BuddyObject = refuse
    with pytest.raises(LibraryError) as e:
        huffman.EncodeByte(data, 11)
    assert (e.value.number, e.value.source, e.value.description) == (
        OBJECT_ERROR,
        "Ombrak10",
        "refused",
    )

    class Unlistable:  # the search for the method in another case fails
        def __dir__(self):
            raise RuntimeError("no listing")

    huffman.BuddyObject = Unlistable()
    with pytest.raises(RuntimeError, match="no listing"):
        huffman.EncodeByte(data, 11)

    def broken(percent):
        raise ValueError("not a number")

    huffman.BuddyObject = broken
    with pytest.raises(ValueError, match="not a number"):
        huffman.EncodeByte(data, 11)
    assert data == bytearray(b"abracadabra")
    huffman.BuddyObject = None
    huffman.EncodeByte(data, 11)  # nothing of the failure is left behind
    assert data[:4] == b"HE3\r"


@pytest.mark.parametrize(
    "call, number",
    [
        (lambda: ombrak10.create("Ombrak10.NoSuchClass"), 429),
        (lambda: ombrak10.invoke(create("clsKvVeskEncDecBase64A"), "Nope"), 438),
        (lambda: create("clsKvVeskEncDecBase64A").Encode64(), 449),
        (lambda: create("clsKvVeskEncDecBase64A").Encode64("a", "b"), 450),
        (lambda: create("clsKvVeskEncDecBase64A").Encode64(sOther="a"), 448),
        (lambda: create("clsKvVeskClassicCiphersA").CaesarShift("a", 70000), 6),
        (lambda: create("clsKvVeskClassicCiphersA").CaesarShift("a", 2**40), 6),
        (lambda: create("clsKvVeskClassicCiphersA").CaesarShift("a", "x"), 13),
        (lambda: create("clsKvVeskEncDecBase64A").DecodeArray64("=="), 5),
    ],
)
def test_library_errors_carry_their_numbers(call, number):
    with pytest.raises(LibraryError) as e:
        call()
    assert e.value.number == number
    assert e.value.source == "Ombrak10"
    assert e.value.description and str(e.value) == e.value.description


def test_library_error_with_its_own_source():
    with pytest.raises(LibraryError) as e:
        create("clsKvVeskEncDecHuffmanA").DecodeByte(bytearray(b"HE4\r"), 4)
    assert e.value.number == OBJECT_ERROR
    assert e.value.source == "HuffmanDecode()"
    assert "identification string not found" in e.value.description


def test_introspection_and_docstrings():
    root = create("clsKvOmbrak10").GetProStdProperties
    assert ombrak10.__version__ == "%d.%d.%d" % (root.Major, root.Minor, root.Revision)
    names = ombrak10.classes()
    assert "Ombrak10.clsKvVeskEncDecHuffmanA" in names
    assert "KvTessel10.clsKvtsErrorHandlerA" in names
    for name in names:  # every class, with no code of its own here
        if name.startswith("Ombrak10."):
            description = ombrak10.describe(name)
            assert description["progid"] == name
            assert {m["name"] for m in description["members"]} <= set(dir(ombrak10.create(name)))
    huffman = ombrak10.describe("clsKvVeskEncDecHuffmanA")
    assert [m["name"] for m in huffman["members"]][:3] == ["BuddyObject", "BuddyObject", "EncodeFile"]
    assert len(ombrak10.describe()["classes"]) >= 28
    obj = create("clsKvVeskEncDecHuffmanA")
    assert obj.EncodeByte.__doc__.strip() == "EncodeByte(byteArray: bytes&, ByteLen: i32&)"
    assert "Event Progress(Percent)" in obj.__doc__
    assert "EncodeFile" in dir(obj)
    with pytest.raises(LibraryError) as e:
        ombrak10.describe("NoSuchClass")
    assert e.value.number == 429


def run_threads(work, count=4):
    """Runs work(seed) on `count` threads started together; returns what they raised."""
    failures = []
    start = threading.Barrier(count)

    def run(seed):
        try:
            start.wait()
            work(seed)
        except Exception as e:  # reported by the caller, with the thread it came from
            failures.append((seed, e))

    threads = [threading.Thread(target=run, args=(s,)) for s in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return failures


def huffman_round_trips(huffman, seed, rounds):
    for i in range(rounds):
        data = bytearray(bytes((seed * 7 + i * 13 + k * k) % 251 for k in range(4000)))
        original = bytes(data)
        huffman.EncodeByte(data, len(data))
        huffman.DecodeByte(data, len(data))
        assert bytes(data) == original


def test_threads_call_and_receive_callbacks_at_once():
    # Each thread compresses with a sink of its own while the others run: the module releases
    # the interpreter lock during a call and takes it back for each callback.
    def work(seed):
        huffman = create("clsKvVeskEncDecHuffmanA")
        seen = []
        huffman.connect(lambda p: seen.append(p.value))
        huffman_round_trips(huffman, seed, 40)
        assert seen.count(100) == 80

    assert run_threads(work) == []


def test_threads_sharing_one_object_take_turns():
    # The library object serves one call at a time; a callback calling the same object again
    # on its own thread does not wait for itself.
    huffman = create("clsKvVeskEncDecHuffmanA")
    b64 = create("clsKvVeskEncDecBase64A")
    nested = []
    huffman.connect(lambda p: nested.append(b64.Encode64("x")) if p.value == 100 else None)
    huffman.connect(lambda p: huffman.BuddyObject)  # re-enters the object inside its own call
    tea = create("clsKvVeskEncDecTeaA")  # keeps the key of the last call

    def work(seed):
        key = "key of thread %d" % seed
        huffman_round_trips(huffman, seed, 60)
        for i in range(60):
            text = "message %d from %d " % (i, seed) * 200
            assert tea.DecryptString(tea.EncryptString(text, key), key) == text

    assert run_threads(work) == []
    assert nested == ["eA=="] * 480
