// The script host: objects by name, recorders as event sinks and buddy objects, calls with
// by-reference arguments, and what each step made the library do.
#include "script_host.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "json_values.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/root_class.h"
#include "ombrak/frame/text.h"

namespace ombrak::cli {

namespace {

Json error_json(const Error& e) {
    return Json{{"number", e.number()}, {"source", e.source()}, {"description", e.description()}};
}

struct StepLog {
    Json events = Json::array();
    Json buddy = Json::array();
    Json reports = Json::array();
};

// A host object that accepts any call by name and records it. It can write a number into the
// first by-reference argument of every call, or fail every call with error 438.
class Recorder final : public Object {
  public:
    Recorder(std::string name, std::optional<std::int32_t> write, bool fail, ObjectNames& names,
             StepLog& log)
        : name_(std::move(name)), write_(write), fail_(fail), names_(names), log_(log) {}

    Variant invoke(std::string_view member, MemberKind, std::span<ArgRef> args) override {
        return receive(member, args, log_.buddy);
    }

    Variant receive(std::string_view member, std::span<ArgRef> args, Json& into) {
        Json shown = Json::array();
        for (const ArgRef& a : args) shown.push_back(value_to_json(*a.var, names_));
        into.push_back(Json{{"recorder", name_}, {"member", std::string(member)}, {"args", shown}});
        if (fail_) raise_runtime(RuntimeError::NotSupported);
        if (write_) {
            for (ArgRef& a : args) {
                if (!a.by_ref) continue;
                VarType t = a.var->type();
                Variant n(*write_);
                *a.var = (t == VarType::Empty || t == VarType::Missing) ? n : coerce(n, t);
                break;
            }
        }
        return Variant();
    }

  private:
    std::string name_;
    std::optional<std::int32_t> write_;
    bool fail_;
    ObjectNames& names_;
    StepLog& log_;
};

// What an object's events reach: the recorder, logged as an event.
class EventSink final : public Object {
  public:
    EventSink(std::shared_ptr<Recorder> r, StepLog& log) : recorder_(std::move(r)), log_(log) {}
    Variant invoke(std::string_view member, MemberKind, std::span<ArgRef> args) override {
        return recorder_->receive(member, args, log_.events);
    }

  private:
    std::shared_ptr<Recorder> recorder_;
    StepLog& log_;
};

const std::string& string_field(const Json& step, const char* key) {
    auto it = step.find(key);
    if (it == step.end() || !it->is_string())
        throw Malformed(std::string("\"") + key + "\" wants a string");
    return it->get_ref<const std::string&>();
}

class ScriptHost {
  public:
    ScriptHost() {
        set_report_handler([this](const Report& r) {
            log_.reports.push_back(Json{{"number", r.number},
                                        {"source", r.source},
                                        {"description", r.description},
                                        {"place", r.place}});
        });
    }
    // A script's settings last until it changes them, and end with it; so does this thread's
    // object slot, which must not keep a recorder that refers to this host after it is gone.
    ~ScriptHost() {
        set_report_handler(nullptr);
        set_zero_random(false);
        set_code_page(initial_code_page_);
        clsKvOmbrak10().BuddyObjectGlobal(initial_global_);
    }

    Json step(const Json& s) {
        log_ = StepLog{};
        if (!s.is_object()) throw Malformed("a step is a JSON object");
        if (s.contains("call")) return call(s);
        if (s.contains("new"))
            return simple([&] {
                const std::string& name = string_field(s, "new");
                names_.bind(name, create_object(string_field(s, "progid")));
            });
        if (s.contains("recorder")) return recorder(s);
        if (s.contains("connect"))
            return simple([&] {
                ObjectRef source = object(string_field(s, "connect"));
                auto rec =
                    std::dynamic_pointer_cast<Recorder>(names_.find(string_field(s, "sink")));
                if (!rec) raise_runtime(RuntimeError::ObjectRequired);
                source->connect(std::make_shared<EventSink>(rec, log_));
            });
        if (s.contains("codepage")) {
            if (!s["codepage"].is_number_integer()) throw Malformed("\"codepage\" wants a number");
            int cp = s["codepage"].get<int>();
            return simple([&] {
                if (!set_code_page(cp)) raise_runtime(RuntimeError::InvalidCall);
            });
        }
        if (s.contains("random")) {
            const std::string& mode = string_field(s, "random");
            if (mode != "zero" && mode != "system") throw Malformed("\"random\" is zero or system");
            set_zero_random(mode == "zero");
            return Json{{"ok", true}};
        }
        throw Malformed("no known step");
    }

  private:
    // The object a name stands for, to call: a name bound to nothing (a stored result that was
    // Nothing) raises error 91, as a call on Nothing does in a host.
    ObjectRef object(const std::string& name) const {
        ObjectRef o = names_.find(name);
        if (!o) raise_runtime(RuntimeError::ObjectNotSet);
        return o;
    }

    template <class F>
    Json simple(F&& f) {
        try {
            f();
            return Json{{"ok", true}};
        } catch (const Error& e) {
            return Json{{"error", error_json(e)}};
        }
    }

    Json recorder(const Json& s) {
        const std::string& name = string_field(s, "recorder");
        std::optional<std::int32_t> write;
        bool fail = false;
        if (s.contains("write")) {
            if (!s["write"].is_number_integer()) throw Malformed("\"write\" wants an integer");
            auto v = s["write"].get<std::int64_t>();
            if (v < INT32_MIN || v > INT32_MAX) throw Malformed("\"write\" out of range");
            write = static_cast<std::int32_t>(v);
        }
        if (s.contains("fail")) {
            if (!s["fail"].is_boolean()) throw Malformed("\"fail\" wants true or false");
            fail = s["fail"].get<bool>();
        }
        names_.bind(name, std::make_shared<Recorder>(name, write, fail, names_, log_));
        return Json{{"ok", true}};
    }

    // An argument is a value (passed by reference) or {"byval": value}.
    static const Json& unwrap(const Json& a, bool& by_ref) {
        by_ref = !(a.is_object() && a.size() == 1 && a.contains("byval"));
        return by_ref ? a : a["byval"];
    }

    Json call(const Json& s) {
        const std::string& target = string_field(s, "call");
        const std::string& member = string_field(s, "member");
        MemberKind kind = MemberKind::Method;
        if (s.contains("kind")) {
            const std::string& k = string_field(s, "kind");
            if (k == "method")
                kind = MemberKind::Method;
            else if (k == "get")
                kind = MemberKind::Get;
            else if (k == "let")
                kind = MemberKind::Let;
            else if (k == "set")
                kind = MemberKind::Set;
            else
                throw Malformed("unknown kind '" + k + "'");
        }
        const Json none = Json::array();
        const Json& args = s.contains("args") ? s["args"] : none;
        if (!args.is_array()) throw Malformed("\"args\" wants an array");
        const Json empty_named = Json::object();
        const Json& named = s.contains("named") ? s["named"] : empty_named;
        if (!named.is_object()) throw Malformed("\"named\" wants an object");
        std::optional<std::string> store;
        if (s.contains("store")) store = string_field(s, "store");

        // Read every value first, so a malformed one is found before anything runs.
        std::vector<Variant> values;
        std::vector<ArgRef> refs;
        std::vector<std::string> names;
        values.reserve(args.size() + named.size());
        names.reserve(named.size());
        std::optional<Error> failure;
        auto read = [&](const Json& a) {
            bool by_ref;
            const Json& v = unwrap(a, by_ref);
            values.emplace_back();
            try {
                values.back() = value_from_json(v, names_);
            } catch (const Error& e) {
                if (!failure) failure = e;  // an unknown object name
            }
            refs.push_back(ArgRef{&values.back(), by_ref});
        };
        for (const Json& a : args) read(a);
        for (const auto& [param, a] : named.items()) {
            read(a);
            names.push_back(param);
            refs.back().name = names.back();
        }

        Variant result;
        try {
            if (failure) throw *failure;
            ObjectRef obj = object(target);
            result = obj->invoke(member, kind, refs);
            if (store && result.type() == VarType::Object) names_.bind(*store, to_object(result));
        } catch (const Error& e) {
            failure = e;
        } catch (...) {
            failure = current_error();
        }

        Json out;
        out["result"] = value_to_json(result, names_);
        Json shown = Json::array();
        for (std::size_t i = 0; i < args.size(); ++i)
            shown.push_back(value_to_json(values[i], names_));
        out["args"] = shown;
        if (!named.empty()) {
            Json n = Json::object();
            for (std::size_t i = 0; i < names.size(); ++i)
                n[names[i]] = value_to_json(values[args.size() + i], names_);
            out["named"] = n;
        }
        out["error"] = failure ? error_json(*failure) : Json(nullptr);
        out["events"] = log_.events;
        out["buddy"] = log_.buddy;
        out["reports"] = log_.reports;
        return out;
    }

    ObjectNames names_;
    StepLog log_;
    int initial_code_page_ = code_page();
    ObjectRef initial_global_ = clsKvOmbrak10().BuddyObjectGlobal();
};

}  // namespace

namespace {
// One answer per line, ASCII only; bytes that are not UTF-8 (a parser's message quoting the bad
// line) become U+FFFD instead of failing the output.
std::string answer_line(const Json& j) {
    return j.dump(-1, ' ', true, Json::error_handler_t::replace);
}
}  // namespace

int run_script(std::istream& in, std::ostream& out) {
    ScriptHost host;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        Json answer;
        try {
            answer = host.step(Json::parse(line));
        } catch (const Json::exception& e) {
            out << answer_line(Json{{"malformed", std::string("not JSON: ") + e.what()}})
                << std::endl;
            return 2;
        } catch (const Malformed& e) {
            out << answer_line(Json{{"malformed", e.what()}}) << std::endl;
            return 2;
        }
        out << answer_line(answer) << std::endl;
    }
    return 0;
}

}  // namespace ombrak::cli
