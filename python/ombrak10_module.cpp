// The Python module: library objects as dynamic Python objects whose attributes call members by
// name, Python values converted to and from Variant at the boundary, and any Python object
// usable where the library calls an object by name (event sinks, buddies).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/object.h"
#include "ombrak/frame/text.h"
#include "ombrak/frame/typelib.h"

namespace py = pybind11;
using namespace ombrak;

namespace {

// A box for a by-reference argument: the call stores what the member leaves in it in `value`.
struct Ref {
    py::object value;
};

// The value of an omitted optional argument.
struct MissingTag {};

PyObject* library_error = nullptr;  // ombrak10.LibraryError

// The module's own types (final, so an exact type check is an isinstance check), looked up
// once rather than through the binding's type registry on every argument.
PyTypeObject* ref_type = nullptr;
PyTypeObject* missing_type = nullptr;
PyTypeObject* dynamic_type = nullptr;

bool of_type(py::handle h, PyTypeObject* t) {
    return Py_TYPE(h.ptr()) == t;
}

[[noreturn]] void raise_library_error(const Error& e) {
    py::object type = py::reinterpret_borrow<py::object>(library_error);
    py::object exc = type(py::str(e.description()));
    exc.attr("number") = e.number();
    exc.attr("source") = py::str(e.source());
    exc.attr("description") = py::str(e.description());
    PyErr_SetObject(library_error, exc.ptr());
    throw py::error_already_set();
}

// A Python exception raised by Python code the library called (a sink, a buddy): the library
// sees it as an error; when that error reaches the Python caller unchanged, the caller gets
// the original exception back.
struct PendingException {
    std::optional<py::error_already_set> exception;
    std::optional<Error> as_error;
};
thread_local PendingException pending;

// ---- Python values to Variant and back -------------------------------------------------------

class PythonObject;
Variant to_variant(py::handle h);
py::object to_python(const Variant& v);

// A str's code points as UTF-16 code units, read from the string's own storage: a code point
// beyond U+FFFF becomes its surrogate pair and a lone surrogate stays one unit (what encoding
// with "surrogatepass" gives, without the intermediate bytes object).
Text text_of(py::handle s) {
    PyObject* o = s.ptr();
    if (PyUnicode_READY(o) != 0) throw py::error_already_set();
    const Py_ssize_t n = PyUnicode_GET_LENGTH(o);
    const void* data = PyUnicode_DATA(o);
    switch (PyUnicode_KIND(o)) {
        case PyUnicode_1BYTE_KIND: {
            const auto* p = static_cast<const Py_UCS1*>(data);
            return Text(p, p + n);
        }
        case PyUnicode_2BYTE_KIND: {
            const auto* p = static_cast<const Py_UCS2*>(data);
            return Text(p, p + n);
        }
        default: {
            const auto* p = static_cast<const Py_UCS4*>(data);
            Text t;
            t.reserve(static_cast<std::size_t>(n) + 16);
            for (Py_ssize_t i = 0; i < n; ++i) {
                const Py_UCS4 c = p[i];
                if (c < 0x10000) {
                    t.push_back(static_cast<char16_t>(c));
                } else {
                    t.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                    t.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
                }
            }
            return t;
        }
    }
}

// UTF-16 code units as a str, built directly in the narrowest storage that holds them; only a
// text with surrogates goes through the decoder, which joins pairs and keeps lone ones.
py::object text_to_python(const Text& t) {
    char16_t widest = 0;
    bool surrogates = false;
    for (char16_t c : t) {
        widest = std::max(widest, c);
        surrogates |= (c & 0xF800) == 0xD800;
    }
    if (surrogates) {
        int little = -1;
        PyObject* s =
            PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(t.data()),
                                  static_cast<Py_ssize_t>(t.size() * 2), "surrogatepass", &little);
        if (!s) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(s);
    }
    const Py_UCS4 max = widest < 0x80 ? 0x7F : widest < 0x100 ? 0xFF : 0xFFFF;
    PyObject* s = PyUnicode_New(static_cast<Py_ssize_t>(t.size()), max);
    if (!s) throw py::error_already_set();
    if (max == 0xFFFF) {
        if (!t.empty()) std::memcpy(PyUnicode_DATA(s), t.data(), t.size() * 2);
    } else {
        auto* p = static_cast<Py_UCS1*>(PyUnicode_DATA(s));
        for (std::size_t i = 0; i < t.size(); ++i) p[i] = static_cast<Py_UCS1>(t[i]);
    }
    return py::reinterpret_steal<py::object>(s);
}

// A bytes-like object's bytes in order. A memoryview may be strided, reversed or of wider items:
// it is copied through bytes(), which reads it element by element.
Bytes bytes_of(py::handle h) {
    PyObject* o = h.ptr();
    if (PyBytes_Check(o)) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(o));
        return Bytes(p, p + PyBytes_GET_SIZE(o));
    }
    if (PyByteArray_Check(o)) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(PyByteArray_AS_STRING(o));
        return Bytes(p, p + PyByteArray_GET_SIZE(o));
    }
    py::object copy = py::reinterpret_steal<py::object>(PyBytes_FromObject(o));
    if (!copy) throw py::error_already_set();
    return bytes_of(copy);
}

// A library object as Python sees it.
struct Dynamic {
    ObjectRef ref;
    std::vector<std::pair<py::object, ObjectRef>> sinks;  // connected callables and their hosts
};

// A Python object the library calls by name: `member` is its attribute of that name (exact,
// else the first whose name matches without regard to case); an object without one that is
// callable is called itself, so a plain function serves as event sink or buddy. Every argument
// arrives as a Ref box, so a callee reads them all alike; what it leaves in the box of a
// by-reference argument goes back to the library (the final 100 of a progress run, sent by
// value, cannot be changed).
class PythonObject final : public Object {
  public:
    explicit PythonObject(py::object target) : target_(std::move(target)) {}

    ~PythonObject() override {
        if (!Py_IsInitialized()) {
            target_.release();  // the interpreter is gone: nothing left to release it to
            return;
        }
        py::gil_scoped_acquire gil;
        target_ = py::object();
    }

    const py::object& target() const { return target_; }

    Variant invoke(std::string_view member, MemberKind kind, std::span<ArgRef> args) override {
        py::gil_scoped_acquire gil;
        try {
            return call(member, kind, args);
        } catch (py::error_already_set& e) {
            if (e.matches(library_error)) throw error_of(e.value());
            Error as(kObjectErrorBase, py::str(e.type().attr("__name__")).cast<std::string>(),
                     py::str(e.value()).cast<std::string>());
            pending.exception.emplace(std::move(e));
            pending.as_error.emplace(as);
            throw as;
        }
    }

  private:
    // A LibraryError raised by Python code: its number, source and description, where set (a
    // plain LibraryError("text") is the object-error base with the default source).
    static Error error_of(const py::object& v) {
        std::int32_t number = kObjectErrorBase;
        py::object n = py::getattr(v, "number", py::none());
        if (PyLong_Check(n.ptr())) {
            int overflow = 0;
            const long long x = PyLong_AsLongLongAndOverflow(n.ptr(), &overflow);
            if (!overflow && x >= INT32_MIN && x <= INT32_MAX)
                number = static_cast<std::int32_t>(x);
        }
        py::object source = py::getattr(v, "source", py::str(""));
        py::object description = py::getattr(v, "description", py::str(v));
        return Error(number, py::str(source), py::str(description));
    }

    Variant call(std::string_view member, MemberKind kind, std::span<ArgRef> args) {
        const std::string name(member);
        py::object attr = find(name);
        if (kind == MemberKind::Let || kind == MemberKind::Set) {
            if (args.empty()) raise_runtime(RuntimeError::WrongArgumentCount);
            py::setattr(target_, name.c_str(), to_python(*args.back().var));
            return Variant();
        }
        if (!attr) {
            if (!PyCallable_Check(target_.ptr())) raise_runtime(RuntimeError::NotSupported);
            attr = target_;
        }
        if (kind == MemberKind::Get && args.empty() && !PyCallable_Check(attr.ptr()))
            return to_variant(attr);
        py::tuple positional(args.size());
        std::vector<py::object> boxes(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) {
            py::object box = py::cast(Ref{to_python(*args[i].var)});
            if (args[i].by_ref) boxes[i] = box;
            positional[i] = box;
        }
        py::object result;
        try {
            result = attr(*positional);
        } catch (...) {
            write_back(args, boxes);
            throw;
        }
        write_back(args, boxes);
        return to_variant(result);
    }

    static void write_back(std::span<ArgRef> args, const std::vector<py::object>& boxes) {
        for (std::size_t i = 0; i < args.size(); ++i)
            if (boxes[i]) *args[i].var = to_variant(boxes[i].cast<Ref&>().value);
    }

    py::object find(const std::string& name) const {
        if (py::hasattr(target_, name.c_str())) return target_.attr(name.c_str());
        PyObject* names = PyObject_Dir(target_.ptr());
        if (!names) throw py::error_already_set();
        for (py::handle n : py::reinterpret_steal<py::object>(names)) {
            const std::string candidate = py::str(n);
            if (iequals(candidate, name)) return target_.attr(n);
        }
        return py::object();
    }

    py::object target_;
};

// True when to_variant makes an object reference of h (None and plain values do not).
bool is_object(py::handle h) {
    PyObject* o = h.ptr();
    if (of_type(h, ref_type)) return is_object(h.cast<Ref&>().value);
    return o != Py_None && !PyUnicode_Check(o) && !PyLong_Check(o) && !PyFloat_Check(o) &&
           !PyBytes_Check(o) && !PyByteArray_Check(o) && !PyMemoryView_Check(o) &&
           !of_type(h, missing_type);
}

Variant to_variant(py::handle h) {
    PyObject* o = h.ptr();
    if (o == Py_None) return Variant();
    if (PyUnicode_Check(o)) return Variant(text_of(h));
    if (PyBool_Check(o)) return Variant(o == Py_True);
    if (PyLong_Check(o)) {
        int overflow = 0;
        const long long n = PyLong_AsLongLongAndOverflow(o, &overflow);
        if (!overflow && n >= INT32_MIN && n <= INT32_MAX)
            return Variant(static_cast<std::int32_t>(n));
        // Beyond 32 bits a number is a double, as a host's literal is; converting it to a
        // parameter's integer type raises error 6.
        const double d = PyLong_AsDouble(o);
        if (d == -1.0 && PyErr_Occurred()) throw py::error_already_set();
        return Variant(d);
    }
    if (PyFloat_Check(o)) return Variant(PyFloat_AsDouble(o));
    if (PyBytes_Check(o) || PyByteArray_Check(o) || PyMemoryView_Check(o))
        return Variant(bytes_of(h));
    if (of_type(h, ref_type)) return to_variant(h.cast<Ref&>().value);
    if (of_type(h, missing_type)) return Variant::missing();
    if (of_type(h, dynamic_type)) return Variant(h.cast<Dynamic&>().ref);  // null: Nothing
    return Variant(
        ObjectRef(std::make_shared<PythonObject>(py::reinterpret_borrow<py::object>(h))));
}

py::object to_python(const Variant& v) {
    switch (v.type()) {
        case VarType::Empty:
        case VarType::Missing:
            return py::none();
        case VarType::Bool:
            return py::bool_(v.get<bool>());
        case VarType::I16:
            return py::int_(v.get<std::int16_t>());
        case VarType::I32:
            return py::int_(v.get<std::int32_t>());
        case VarType::F64:
            return py::float_(v.get<double>());
        case VarType::Text:
            return text_to_python(v.get<Text>());
        case VarType::Bytes: {
            const Bytes& b = v.get<Bytes>();
            return py::bytes(reinterpret_cast<const char*>(b.data()), b.size());
        }
        case VarType::Object: {
            const ObjectRef& o = v.get<ObjectRef>();
            if (!o) return py::none();
            if (auto* p = dynamic_cast<PythonObject*>(o.get())) return p->target();
            return py::cast(Dynamic{o, {}});
        }
    }
    return py::none();
}

// ---- Calls ------------------------------------------------------------------------------------

// A library object serves one call at a time, as the interpreter lock made it before the module
// released that lock during calls: Python threads sharing an object wait for each other, and a
// callback may call the same object again on its own thread (the lock is recursive). One lock
// per object, kept while a call holds it.
std::shared_ptr<std::recursive_mutex> call_lock(const ObjectRef& obj) {
    static std::mutex guard;
    static std::unordered_map<const Object*, std::weak_ptr<std::recursive_mutex>> locks;
    std::lock_guard held(guard);
    static std::size_t prune_at = 64;
    if (locks.size() > prune_at) {
        std::erase_if(locks, [](const auto& e) { return e.second.expired(); });
        prune_at = std::max<std::size_t>(64, 2 * locks.size());
    }
    std::weak_ptr<std::recursive_mutex>& slot = locks[obj.get()];
    std::shared_ptr<std::recursive_mutex> lock = slot.lock();
    if (!lock) {
        lock = std::make_shared<std::recursive_mutex>();
        slot = lock;
    }
    return lock;
}

// Runs `work`, raising a library failure as LibraryError.
template <class F>
auto translated(F&& work) {
    try {
        return work();
    } catch (...) {
        raise_library_error(current_error());
    }
}

// Runs `work` on a library object without the interpreter lock and holding the object's call
// lock; a failure is left in `failure`. The interpreter lock goes first, so a thread waiting for
// the object never holds it while the thread inside the object needs it for a callback.
template <class F>
void with_object(const ObjectRef& obj, F&& work, std::optional<Error>& failure) {
    std::shared_ptr<std::recursive_mutex> lock = call_lock(obj);
    py::gil_scoped_release unlocked;
    std::lock_guard one_call(*lock);
    try {
        work();
    } catch (...) {
        failure = current_error();
    }
}

// Calls a member: plain values by value; Ref boxes and bytearrays by reference, written back
// whether the call returns or fails (a bytearray in place, when the member leaves a byte array
// in it). The interpreter lock is released while the library works.
py::object invoke(const ObjectRef& obj, const std::string& member, MemberKind kind, py::args args,
                  py::kwargs kwargs) {
    const std::size_t n = args.size() + (kwargs ? kwargs.size() : 0);
    std::vector<py::object> sources;
    std::vector<std::string> names;
    sources.reserve(n);
    names.reserve(n);
    for (py::handle a : args) {
        sources.push_back(py::reinterpret_borrow<py::object>(a));
        names.emplace_back();
    }
    if (kwargs)
        for (auto [k, v] : kwargs) {
            sources.push_back(py::reinterpret_borrow<py::object>(v));
            names.push_back(py::str(k));
        }
    std::vector<Variant> values(n);
    std::vector<ArgRef> refs(n);
    // Every argument is a variable of this call, so each goes by reference and moves into the
    // member without a copy; only those of Ref boxes and bytearrays are written back.
    std::vector<bool> write_back(n);
    for (std::size_t i = 0; i < n; ++i) {
        values[i] = to_variant(sources[i]);
        write_back[i] = of_type(sources[i], ref_type) || PyByteArray_Check(sources[i].ptr());
        refs[i] = ArgRef{&values[i], true, names[i]};
    }

    Variant result;
    std::optional<Error> failure;
    pending = PendingException{};
    with_object(
        obj, [&] { result = obj->invoke(member, kind, refs); }, failure);
    for (std::size_t i = 0; i < n; ++i) {
        if (!write_back[i]) continue;
        if (of_type(sources[i], ref_type)) {
            sources[i].cast<Ref&>().value = to_python(values[i]);
        } else if (values[i].type() == VarType::Bytes) {
            const Bytes& b = values[i].get<Bytes>();
            PyObject* array = sources[i].ptr();
            if (PyByteArray_Resize(array, static_cast<Py_ssize_t>(b.size())) != 0)
                throw py::error_already_set();
            if (!b.empty()) std::memcpy(PyByteArray_AsString(array), b.data(), b.size());
        }
    }
    if (failure) {
        PendingException p = std::move(pending);
        pending = PendingException{};
        if (p.exception && p.as_error && p.as_error->number() == failure->number() &&
            p.as_error->source() == failure->source() &&
            p.as_error->description() == failure->description()) {
            p.exception->restore();
            throw py::error_already_set();
        }
        raise_library_error(*failure);
    }
    pending = PendingException{};
    return to_python(result);
}

MemberKind kind_of(const std::string& kind) {
    for (MemberKind k : {MemberKind::Method, MemberKind::Get, MemberKind::Let, MemberKind::Set})
        if (iequals(kind, kind_name(k))) return k;
    throw py::value_error("kind must be 'method', 'get', 'let' or 'set'");
}

// The signatures of every member of that name, one a line.
std::string member_doc(const ClassInfo* info, const std::string& name) {
    std::string doc;
    if (!info) return doc;
    for (const MemberInfo& m : info->members)
        if (iequals(m.name, name)) doc += member_signature(m) + "\n";
    return doc;
}

std::string class_doc(const ClassInfo* info) {
    if (!info) return "A host object: every attribute calls a member of that name.";
    std::string doc = info->name + "\n\n";
    for (const MemberInfo& m : info->members) doc += "  " + member_signature(m) + "\n";
    if (info->event)
        doc += "\nEvent " + info->event->name + "(" + info->event->param +
               "): connect a callable with connect().\n";
    return doc;
}

// A member reached through an attribute: calling it calls the member.
struct Bound {
    ObjectRef obj;
    std::string member;
    MemberKind kind;
};

py::object json_loads(const std::string& s) {
    return py::module_::import("json").attr("loads")(py::str(s));
}

}  // namespace

PYBIND11_MODULE(ombrak10, m) {
    m.doc() =
        "Ombrak10's classes from Python: create(progid) makes an object whose attributes call "
        "its members by name.\n\n"
        "Texts are str (UTF-16 code units kept, lone surrogates included), byte arrays bytes "
        "or bytearray, numbers and Booleans Python's own. Arguments go by value, except a Ref "
        "box and a bytearray, which go by reference: the call writes what the member leaves in "
        "them back (a bytearray in place). Library errors raise LibraryError.";

    m.attr("__version__") = std::to_string(LibraryVersion::major) + "." +
                            std::to_string(LibraryVersion::minor) + "." +
                            std::to_string(LibraryVersion::revision);

    library_error = PyErr_NewExceptionWithDoc(
        "ombrak10.LibraryError",
        "An error of the library, with its number, source and description.", PyExc_Exception,
        nullptr);
    m.attr("LibraryError") = py::handle(library_error);

    py::class_<Ref>(m, "Ref", py::is_final(),
                    "A by-reference argument: pass Ref(value) and read .value after the call. "
                    "The library hands Refs to Python callbacks for by-reference arguments too; "
                    "assign .value to change the caller's variable.")
        .def(py::init([](py::object value) { return Ref{std::move(value)}; }),
             py::arg("value") = py::none())
        .def_readwrite("value", &Ref::value)
        .def("__repr__",
             [](const Ref& r) { return "Ref(" + py::repr(r.value).cast<std::string>() + ")"; });

    py::class_<MissingTag>(m, "_Missing", py::is_final()).def("__repr__", [](const MissingTag&) {
        return "ombrak10.MISSING";
    });
    m.attr("MISSING") = py::cast(MissingTag{});

    py::class_<Bound>(m, "Member", py::is_final(),
                      "A member of a library object; call it to call the member.")
        .def("__call__",
             [](const Bound& b, py::args args, py::kwargs kwargs) {
                 return invoke(b.obj, b.member, b.kind, std::move(args), std::move(kwargs));
             })
        .def_property_readonly(
            "__doc__", [](const Bound& b) { return member_doc(b.obj->class_info(), b.member); })
        .def("__repr__", [](const Bound& b) { return "<member " + b.member + ">"; });

    py::class_<Dynamic>(m, "Object", py::is_final(),
                        "A library object (or an object a call returned). Attributes call "
                        "members: obj.Encode64(text) calls a method, obj.Name reads a property "
                        "without parameters, obj.Name = value assigns one (property set for "
                        "objects, let otherwise). invoke() reaches any member and kind.")
        // Attribute reads go to the member table first: a library member is not an error
        // path of the ordinary lookup. The module's own attributes (connect, disconnect and the
        // underscore names) are found the ordinary way.
        .def("__getattribute__",
             [](py::object self, py::str name_obj) -> py::object {
                 const std::string name = name_obj;
                 auto generic = [&] {
                     PyObject* r = PyObject_GenericGetAttr(self.ptr(), name_obj.ptr());
                     if (!r) throw py::error_already_set();
                     return py::reinterpret_steal<py::object>(r);
                 };
                 if (name.empty() || name[0] == '_' || name == "connect" || name == "disconnect")
                     return generic();
                 const Dynamic& d = self.cast<const Dynamic&>();
                 const ClassInfo* info = d.ref->class_info();
                 if (!info) return py::cast(Bound{d.ref, name, MemberKind::Method});
                 const MemberInfo* method = info->find(name, MemberKind::Method);
                 if (method && method->kind == MemberKind::Get && method->params.empty())
                     return invoke(d.ref, name, MemberKind::Get, py::args(), py::kwargs());
                 if (method) return py::cast(Bound{d.ref, method->name, method->kind});
                 throw py::attribute_error(info->name + " has no member " + name);
             })
        .def("__setattr__",
             [](const Dynamic& d, const std::string& name, py::object value) {
                 const ClassInfo* info = d.ref->class_info();
                 const bool object = value.is_none() || is_object(value);
                 MemberKind kind = object ? MemberKind::Set : MemberKind::Let;
                 if (info) {
                     const MemberInfo* set = info->find(name, MemberKind::Set);
                     const MemberInfo* let = info->find(name, MemberKind::Let);
                     if (!set && !let)
                         throw py::attribute_error(info->name + " has no property " + name);
                     if (!(kind == MemberKind::Set ? set : let))
                         kind = set ? MemberKind::Set : MemberKind::Let;
                 }
                 // None assigned through a property set is Nothing.
                 py::args args = py::make_tuple(value);
                 if (kind == MemberKind::Set && value.is_none())
                     args = py::make_tuple(py::cast(Dynamic{ObjectRef(), {}}));
                 invoke(d.ref, name, kind, std::move(args), py::kwargs());
             })
        .def("__dir__",
             [](const Dynamic& d) {
                 py::list names;
                 if (const ClassInfo* info = d.ref->class_info())
                     for (const MemberInfo& mi : info->members)
                         if (!names.contains(py::str(mi.name))) names.append(py::str(mi.name));
                 names.append("connect");
                 names.append("disconnect");
                 return names;
             })
        .def_property_readonly("__doc__",
                               [](const Dynamic& d) { return class_doc(d.ref->class_info()); })
        .def(
            "connect",
            [](Dynamic& d, py::object sink) {
                const Variant as = to_variant(sink);
                if (as.type() != VarType::Object)
                    throw py::type_error("a sink is a callable or an object with methods");
                const ObjectRef host = as.get<ObjectRef>();
                std::optional<Error> failure;
                with_object(
                    d.ref, [&] { d.ref->connect(host); }, failure);
                if (failure) raise_library_error(*failure);
                d.sinks.emplace_back(sink, host);
            },
            py::arg("sink"),
            "Connects an event sink: a callable called with the event's arguments (Percent as "
            "a Ref), or an object whose method of the event's name is called.")
        .def(
            "disconnect",
            [](Dynamic& d, py::object sink) {
                for (auto it = d.sinks.begin(); it != d.sinks.end(); ++it) {
                    if (!it->first.is(sink) && !it->first.equal(sink)) continue;
                    std::optional<Error> failure;
                    with_object(
                        d.ref, [&] { d.ref->disconnect(it->second); }, failure);
                    if (failure) raise_library_error(*failure);
                    d.sinks.erase(it);
                    return;
                }
            },
            py::arg("sink"), "Disconnects a sink connect() connected.")
        .def("__eq__",
             [](const Dynamic& a, py::object b) {
                 return of_type(b, dynamic_type) && b.cast<Dynamic&>().ref == a.ref;
             })
        .def("__hash__", [](const Dynamic& d) { return std::hash<Object*>()(d.ref.get()); })
        .def("__repr__", [](const Dynamic& d) {
            const ClassInfo* info = d.ref->class_info();
            return "<ombrak10 " + (info ? info->name : std::string("host")) + " object>";
        });

    ref_type = reinterpret_cast<PyTypeObject*>(m.attr("Ref").ptr());
    missing_type = reinterpret_cast<PyTypeObject*>(m.attr("_Missing").ptr());
    dynamic_type = reinterpret_cast<PyTypeObject*>(m.attr("Object").ptr());

    m.def(
        "create",
        [](const std::string& progid) {
            return translated([&] { return Dynamic{create_object(progid), {}}; });
        },
        py::arg("progid"),
        "Creates an object by programmatic name (case-insensitive), e.g. "
        "create(\"Ombrak10.clsKvVeskEncDecBase64A\").");

    m.def(
        "invoke",
        [](const Dynamic& obj, const std::string& member, py::args args, py::kwargs kwargs) {
            MemberKind kind = MemberKind::Method;
            if (kwargs && kwargs.contains("kind")) {
                kind = kind_of(py::str(kwargs["kind"]));
                PyDict_DelItemString(kwargs.ptr(), "kind");
            }
            return invoke(obj.ref, member, kind, std::move(args), std::move(kwargs));
        },
        py::arg("obj"), py::arg("member"),
        "invoke(obj, member, *args, kind='method', **named): calls any member with any kind "
        "('method', 'get', 'let', 'set'); for let and set the last positional argument is the "
        "value assigned, e.g. invoke(twofish, 'Key', 16, 'secret', kind='let').");

    m.def(
        "classes",
        [] {
            py::list out;
            for (const CatalogueEntry& e : catalogue()) out.append(py::str(e.progid));
            return out;
        },
        "The programmatic names in catalogue order.");

    m.def(
        "describe",
        [](std::optional<std::string> name) {
            if (!name) return json_loads(type_library_json());
            return json_loads(translated([&] {
                const auto entry = find_entry(*name);
                if (!entry || !entry->info) raise_runtime(RuntimeError::CannotCreateObject);
                return class_json(*entry->info, entry->progid);
            }));
        },
        py::arg("name") = py::none(),
        "A class's description (members in interface order, parameters, event) as a dict; "
        "without a name, every class.");
}
