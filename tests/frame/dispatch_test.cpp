// By-name calls through a member table: arguments, write-backs, errors, events and buddies.
#include <gtest/gtest.h>

#include <thread>

#include "ombrak/frame/member_table.h"
#include "ombrak/frame/progress.h"
#include "ombrak/frame/root_class.h"
#include "support.h"

namespace ombrak {
namespace {

// A small class exercising each kind of parameter, and progress at 32 bits.
class Sample final : public ProgressObject<std::int32_t> {
  public:
    Text Join(Text& sFirst, const Text& sSecond, Text& sSeparator) {
        sFirst += u"!";  // in/out: the caller sees this
        return sFirst + sSeparator + sSecond;
    }
    void Bump(std::int16_t& iValue) {
        ++iValue;
        if (iValue > 5) raise_runtime(RuntimeError::InvalidCall);
    }
    Variant Kind(Variant& vValue) {
        return Variant(Text(u"") + (vValue.is_missing() ? u"missing" : u"given"));
    }
    // Counts in steps of 10, notifying each step; returns how many notifications it made.
    std::int32_t Count() {
        std::int32_t calls = 0;
        for (std::int32_t percent = 0; percent < 100; percent += 10) {
            notify(percent);
            ++calls;
        }
        notify_done();
        return calls + 1;
    }
    void Name(const Text& sValue) { name_ = sValue; }
    Text Name() { return name_; }

    static const ClassInfo& info() {
        using namespace binding;
        using C = Sample;
        static const ClassInfo k{
            "clsSample",
            {buddy_get<C, std::int32_t>(), buddy_set<C, std::int32_t>(),
             method<&C::Join>("Join", {arg("sFirst"), arg("sSecond"), opt("sSeparator", u",")}),
             method<&C::Bump>("Bump", {arg("iValue")}), method<&C::Kind>("Kind", {opt("vValue")}),
             method<&C::Count>("Count"),
             let<static_cast<void (C::*)(const Text&)>(&C::Name)>("Name", {arg("sValue")}),
             get<static_cast<Text (C::*)()>(&C::Name)>("Name")},
            EventInfo{"Progress", "Percent", DeclType::I32, "czSample_Progress"}};
        return k;
    }
    const ClassInfo* class_info() const override { return &info(); }

  private:
    Text name_;
};

// Records every call it receives; optionally writes into the first by-reference argument.
struct Recording {
    std::vector<std::pair<std::string, Variant>> calls;
    std::optional<std::int32_t> write;
    ObjectRef object() {
        return make_host_object([this](std::string_view m, MemberKind, std::span<ArgRef> args) {
            calls.emplace_back(std::string(m), args.empty() ? Variant() : *args[0].var);
            if (write && !args.empty() && args[0].by_ref) *args[0].var = Variant(*write);
            return Variant();
        });
    }
};

Variant call_with(Object& o, std::string_view member, MemberKind kind, std::vector<ArgRef> args) {
    return o.invoke(member, kind, args);
}

TEST(Dispatch, PositionalNamedDefaultsAndWriteBack) {
    Sample s;
    Variant first(u"a"), second(u"b");
    EXPECT_EQ(call(s, "join", first, second), Variant(u"a!,b"));
    EXPECT_EQ(first, Variant(u"a!"));  // in/out parameter written back
    EXPECT_EQ(second, Variant(u"b"));  // by-value parameter: unchanged

    Variant sep(u"-"), a(u"x"), b(u"y");
    EXPECT_EQ(call_with(s, "JOIN", MemberKind::Method,
                        {{&a}, {&sep, true, "sSEPARATOR"}, {&b, true, "sSecond"}}),
              Variant(u"x!-y"));

    Variant byval(u"v");
    call_with(s, "Join", MemberKind::Method, {{&byval, false}, {&b}});
    EXPECT_EQ(byval, Variant(u"v"));  // passed by value: the caller's variable is not written

    Variant omitted = Variant::missing();
    EXPECT_EQ(call(s, "Kind", omitted), Variant(u"missing"));
    EXPECT_TRUE(omitted.is_missing());
}

TEST(Dispatch, ConvertsArgumentsAndWritesBackOnFailure) {
    Sample s;
    Variant v(u"3");  // numeric text for a 16-bit parameter
    call(s, "Bump", v);
    EXPECT_EQ(v, Variant(std::int16_t{4}));

    Variant five(std::int32_t{5});
    EXPECT_ERROR(call(s, "Bump", five), 5);
    EXPECT_EQ(five, Variant(std::int16_t{6}));  // the change before the failure reached the caller

    Variant big(std::int32_t{70000}), word(u"abc");
    EXPECT_ERROR(call(s, "Bump", big), 6);
    EXPECT_ERROR(call(s, "Bump", word), 13);
    EXPECT_EQ(big, Variant(std::int32_t{70000}));  // nothing ran
}

TEST(Dispatch, CallErrors) {
    Sample s;
    Variant x(u"x"), y(u"y"), z(u"z"), w(u"w");
    EXPECT_ERROR(call(s, "NoSuchMember", x), 438);
    EXPECT_ERROR(call(s, "Join", x), 449);
    EXPECT_ERROR(call(s, "Join", x, y, z, w), 450);
    EXPECT_ERROR(call_with(s, "Join", MemberKind::Method, {{&x}, {&y, true, "sNope"}}), 448);
    EXPECT_ERROR(call_with(s, "Join", MemberKind::Method, {{&x}, {&y, true, "sFirst"}}), 450);
    EXPECT_ERROR(call_with(s, "Count", MemberKind::Let, {{&x}}), 438);
}

TEST(Dispatch, PropertiesByKind) {
    Sample s;
    Variant name(u"n1");
    call_with(s, "name", MemberKind::Let, {{&name}});
    EXPECT_EQ(call_with(s, "Name", MemberKind::Get, {}), Variant(u"n1"));
    EXPECT_EQ(call_with(s, "Name", MemberKind::Method, {}), Variant(u"n1"));  // get via method call
}

TEST(Progress, EventsReachEverySinkUntilABuddyIsSet) {
    Sample s;
    Recording sink1, sink2, buddy;
    s.connect(sink1.object());
    s.connect(sink2.object());
    EXPECT_EQ(call(s, "Count"), Variant(std::int32_t{11}));
    ASSERT_EQ(sink1.calls.size(), 11u);
    EXPECT_EQ(sink1.calls[0].first, "Progress");
    EXPECT_EQ(sink1.calls[3].second, Variant(std::int32_t{30}));
    EXPECT_EQ(sink1.calls.back().second, Variant(std::int32_t{100}));
    EXPECT_EQ(sink2.calls.size(), 11u);

    Variant b(buddy.object());
    call_with(s, "BuddyObject", MemberKind::Set, {{&b}});
    call(s, "Count");
    EXPECT_EQ(sink1.calls.size(), 11u);  // no events while a buddy is set
    ASSERT_EQ(buddy.calls.size(), 11u);
    EXPECT_EQ(buddy.calls[0].first, "czSample_Progress");
    EXPECT_EQ(buddy.calls.back().second, Variant(std::int16_t{100}));  // final: 16-bit constant

    Variant none{ObjectRef()};
    call_with(s, "BuddyObject", MemberKind::Set, {{&none}});
    call(s, "Count");
    EXPECT_EQ(sink1.calls.size(), 22u);  // events again
}

TEST(Progress, ASinkWritingPercentChangesWhatTheOperationSees) {
    Sample s;
    Recording sink;
    sink.write = 95;
    s.connect(sink.object());
    EXPECT_EQ(call(s, "Count"), Variant(std::int32_t{2}));  // 0 (becomes 95), then 100
}

TEST(Progress, AFailingBuddyFailsTheOperation) {
    Sample s;
    ObjectRef failing =
        make_host_object([](std::string_view, MemberKind, std::span<ArgRef>) -> Variant {
            raise_runtime(RuntimeError::NotSupported);
        });
    s.BuddyObject(failing);
    EXPECT_ERROR(call(s, "Count"), 438);
}

TEST(Root, BuddyObjectGlobalIsPerThread) {
    clsKvOmbrak10 root;
    ObjectRef mine = make_host_object([](auto, auto, auto) { return Variant(); });
    root.BuddyObjectGlobal(mine);
    EXPECT_EQ(root.BuddyObjectGlobal(), mine);
    ObjectRef seen_elsewhere = mine;
    std::thread([&] { seen_elsewhere = clsKvOmbrak10().BuddyObjectGlobal(); }).join();
    EXPECT_EQ(seen_elsewhere, nullptr);
    ObjectRef none;
    root.BuddyObjectGlobal(none);
}

}  // namespace
}  // namespace ombrak
