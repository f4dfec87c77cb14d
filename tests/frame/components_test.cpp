// The catalogue, the root class and the external components.
#include "ombrak/frame/components.h"

#include <gtest/gtest.h>

#include "ombrak/frame/root_class.h"
#include "ombrak/frame/text.h"
#include "support.h"

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
    Variant number(std::int32_t{16});
    EXPECT_ERROR(root.GetProResData(id, number), 326);
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
