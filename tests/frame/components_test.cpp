// The catalogue, the root class and the external components.
#include "ombrak/frame/components.h"

#include <gtest/gtest.h>

#include <map>

#include "ombrak/frame/root_class.h"
#include "ombrak/frame/text.h"
#include "ombrak/frame/typelib.h"
#include "support.h"
#include "vectors.h"

namespace ombrak {
namespace {

class Components : public ::testing::Test {
  protected:
    void SetUp() override { take_reports(); }
    void TearDown() override {
        restore_default_classes();
        take_reports();
    }
};

Variant get(const ObjectRef& o, const char* name) {
    return o->invoke(name, MemberKind::Get, {});
}

TEST_F(Components, CatalogueCreatesByNameCaseInsensitively) {
    EXPECT_NE(create_object("OMBRAK10.CLSKVOMBRAK10"), nullptr);
    for (const char* placeholder :
         {"Ombrak10.clsKvVeskGeneralA", "Ombrak10.clsKvVeskAdvancedA",
          "Ombrak10.clsKvVeskEncDecEbA", "Ombrak10.clsKvVeskEncDecSkipjackA"}) {
        ObjectRef o = create_object(placeholder);
        ASSERT_NE(o, nullptr) << placeholder;
        EXPECT_TRUE(o->class_info()->members.empty());
        EXPECT_ERROR(o->invoke("Anything", MemberKind::Method, {}), 438);
    }
    EXPECT_ERROR(create_object("Ombrak10.clsNoSuchClass"), 429);
    EXPECT_ERROR(create_object("clsKvOmbrak10"), 429);  // the library name is part of it
}

TEST_F(Components, ApplicationInformation) {
    ObjectRef root = create_object("Ombrak10.clsKvOmbrak10");
    ObjectRef app = to_object(get(root, "GetProStdProperties"));
    EXPECT_EQ(get(app, "Major"), Variant(std::int16_t{1}));
    EXPECT_EQ(get(app, "Minor"), Variant(std::int16_t{0}));
    EXPECT_EQ(get(app, "revision"), Variant(std::int16_t{139}));
    EXPECT_EQ(get(app, "Title"), Variant(u"Ombrak10"));
    EXPECT_EQ(get(app, "EXEName"), Variant(u"ombrak10"));
    for (const char* name : {"Path", "Comments", "CompanyName", "FileDescription", "LegalCopyright",
                             "LegalTrademarks", "ProductName"})
        EXPECT_EQ(get(app, name).type(), VarType::Text) << name;
}

TEST_F(Components, Resources) {
    clsKvOmbrak10 root;
    for (std::int32_t id : {0, 1, 101, -5}) {
        try {
            root.GetProResStrings(id);
            ADD_FAILURE() << "no error for string " << id;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 326);
            EXPECT_EQ(e.description(),
                      "Resource with identifier '" + std::to_string(id) + "' not found");
        }
        std::int32_t bitmap = 0;
        EXPECT_ERROR(root.GetProResPicture(id, bitmap), 326);
    }
    std::int32_t id = 1, too_wide = 40000;
    EXPECT_ERROR(root.GetProResPicture(id, too_wide), 6);  // the kind travels on as 16 bits

    Variant typelib(u"typelib");
    Variant data = root.GetProResData(id, typelib);
    ASSERT_EQ(data.type(), VarType::Bytes);
    std::string json(data.get<Bytes>().begin(), data.get<Bytes>().end());
    EXPECT_NE(json.find("\"name\":\"clsKvVeskEncDecBase64A\""), std::string::npos);
    // Members in interface order.
    auto d = json.find("\"name\":\"Decode64\""), e = json.find("\"name\":\"EncodeArray64\"");
    EXPECT_LT(d, e);
    std::int32_t other = 2;
    EXPECT_ERROR(root.GetProResData(other, typelib), 326);
    Variant number(std::int32_t{17});
    EXPECT_ERROR(root.GetProResData(id, number), 326);
}

// A version resource read back block by block: length, value length, type, key, value, children.
struct VersionBlock {
    std::u16string key;
    std::uint16_t type = 0;
    std::vector<std::uint8_t> value;
    std::vector<VersionBlock> children;
};

VersionBlock parse_block(const Bytes& b, std::size_t at, bool text_value) {
    auto u16 = [&](std::size_t i) {
        return static_cast<std::uint16_t>(b.at(i) | b.at(i + 1) << 8);
    };
    auto align = [](std::size_t i) { return (i + 3) / 4 * 4; };
    VersionBlock blk;
    const std::size_t end = at + u16(at), value_length = u16(at + 2);
    blk.type = u16(at + 4);
    std::size_t i = at + 6;
    for (; u16(i); i += 2) blk.key.push_back(static_cast<char16_t>(u16(i)));
    i = align(i + 2);
    const std::size_t value_bytes = text_value ? 2 * value_length : value_length;
    blk.value.assign(b.begin() + static_cast<std::ptrdiff_t>(i),
                     b.begin() + static_cast<std::ptrdiff_t>(i + value_bytes));
    for (i = align(i + value_bytes); i < end; i = align(i + u16(i)))
        blk.children.push_back(parse_block(b, i, blk.key == u"040904B0"));
    EXPECT_LE(end, b.size());
    return blk;
}

TEST_F(Components, VersionAndInterfaceIdentifierResources) {
    clsKvOmbrak10 root;
    std::int32_t one = 1;
    for (Variant type : {Variant(std::int16_t{16}), Variant(u"#16")}) {
        Variant data = root.GetProResData(one, type);
        ASSERT_EQ(data.type(), VarType::Bytes);
        const Bytes& b = data.get<Bytes>();
        EXPECT_EQ(b[0] | b[1] << 8, static_cast<int>(b.size()));
        VersionBlock top = parse_block(b, 0, false);
        EXPECT_EQ(top.key, u"VS_VERSION_INFO");
        ASSERT_EQ(top.value.size(), 52u);
        auto word = [&](int n) {
            const std::uint8_t* p = top.value.data() + 4 * n;
            return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
        };
        EXPECT_EQ(word(0), 0xFEEF04BDu);
        EXPECT_EQ(word(2), 0x00010000u);  // 1.0
        EXPECT_EQ(word(3), 139u);         // .0.139
        ASSERT_EQ(top.children.size(), 2u);
        EXPECT_EQ(top.children[0].key, u"StringFileInfo");
        ASSERT_EQ(top.children[0].children.size(), 1u);
        std::map<std::u16string, std::u16string> strings;
        for (const auto& s : top.children[0].children[0].children) {
            std::u16string v;
            for (std::size_t i = 0; i + 1 < s.value.size(); i += 2)
                if (char16_t c = static_cast<char16_t>(s.value[i] | s.value[i + 1] << 8)) v += c;
            strings[s.key] = v;
        }
        EXPECT_EQ(strings[u"FileVersion"], u"1.0.0.139");
        EXPECT_EQ(strings[u"ProductName"], u"Ombrak10");
        ObjectRef app = root.GetProStdProperties();
        EXPECT_EQ(Variant(strings[u"CompanyName"]),
                  app->invoke("CompanyName", MemberKind::Get, {}));
        EXPECT_EQ(Variant(strings[u"Comments"]), app->invoke("Comments", MemberKind::Get, {}));
        EXPECT_EQ(top.children[1].key, u"VarFileInfo");
    }

    // Interface identifiers by class number; expected values from an independent FNV-1a
    // computation (version 8, standard variant, first three fields little-endian).
    Variant iid(u"IID");
    std::int32_t tea = 9, root_number = 1, huffman = 17, beyond = 29;
    Variant r = root.GetProResData(tea, iid);
    EXPECT_EQ(r, Variant(test::from_hex("33f39d5ae272b18a96c81c7bf167505e")));
    EXPECT_EQ(root.GetProResData(root_number, iid),
              Variant(test::from_hex("6d1bd8b469af9b8db8c123f69bf1d105")));
    EXPECT_EQ(interface_id_text("Ombrak10", "clsKvVeskEncDecTeaA"),
              "{5A9DF333-72E2-8AB1-96C8-1C7BF167505E}");
    EXPECT_EQ(root.GetProResData(huffman, iid),
              Variant(test::from_hex("dcec9371e5474d818f575deeed804e57")));
    EXPECT_ERROR(root.GetProResData(beyond, iid), 326);
}

TEST_F(Components, AboutReportsEachFailingStepAndReturnsZero) {
    clsKvOmbrak10 root;
    EXPECT_EQ(root.About(), 0);
    EXPECT_TRUE(take_reports().empty());

    std::vector<std::string> forwarded;
    set_report_handler([&](const Report& r) { forwarded.push_back(r.description); });
    unregister_class(kAboutBoxProgId);
    EXPECT_EQ(root.About(), 0);
    set_report_handler(nullptr);
    auto reports = take_reports();
    ASSERT_EQ(reports.size(), 2u);  // creating the box, then calling it
    EXPECT_EQ(reports[0].number, 429);
    EXPECT_EQ(reports[1].number, 91);
    EXPECT_EQ(reports[0].place, "basKvtsCommonA.AppAboutKvts_Pro");
    EXPECT_EQ(forwarded.size(), 2u);
}

TEST_F(Components, HostReplacesOrRemovesComponents) {
    std::vector<Variant> received;
    register_class(kErrorReporterProgId, [&] {
        return make_host_object([&](std::string_view m, MemberKind, std::span<ArgRef> args) {
            EXPECT_EQ(m, "ErrorHandlerMessageKv");
            for (auto& a : args) received.push_back(*a.var);
            EXPECT_TRUE(args[0].by_ref && !args[7].by_ref);
            return Variant();
        });
    });
    unregister_class(kAboutBoxProgId);
    clsKvOmbrak10 root;
    EXPECT_EQ(root.About(), 0);
    ASSERT_EQ(received.size(), 16u);
    EXPECT_EQ(received[3], Variant(u"basKvtsCommonA.AppAboutKvts_Pro"));
    EXPECT_EQ(received[4], Variant(std::int32_t{0}));
    EXPECT_TRUE(received[7].is_missing());
    ObjectRef err = to_object(received[1]);
    EXPECT_EQ(get(err, "Number"), Variant(std::int32_t{429}));

    // Without a reporter the failure is not trapped again: it reaches the caller.
    unregister_class(kErrorReporterProgId);
    EXPECT_ERROR(root.About(), 429);
}

TEST_F(Components, ReportAndContinueGoesOnAfterAFailure) {
    int reached = 0;
    report_and_continue("czTest.Operation", [] { raise_runtime(RuntimeError::DivisionByZero); });
    report_and_continue("czTest.Operation", [&] { ++reached; });
    EXPECT_EQ(reached, 1);
    auto reports = take_reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, 11);
    EXPECT_EQ(reports[0].description, "Division by zero");
    EXPECT_EQ(reports[0].source, "Ombrak10");
    EXPECT_EQ(reports[0].place, "czTest.Operation");
}

}  // namespace
}  // namespace ombrak
