// The catalogue, the application-information and error objects, and the default about box and
// error reporter.
#include "ombrak/frame/components.h"

#include <dlfcn.h>

#include <deque>
#include <mutex>

#include "frame/catalogue_list.h"
#include "ombrak/frame/member_table.h"
#include "ombrak/frame/text.h"

namespace ombrak {

namespace {

struct Registered {
    std::string progid;
    Factory factory;
    const ClassInfo* info;
    bool library;
};

// ---- Application information -------------------------------------------------------------

std::string library_folder() {
    Dl_info dl{};
    if (dladdr(reinterpret_cast<void*>(&make_app_info), &dl) && dl.dli_fname) {
        std::string file = dl.dli_fname;
        auto slash = file.rfind('/');
        return slash == std::string::npos ? "." : file.substr(0, slash);
    }
    return ".";
}

class AppInfo final : public Object {
  public:
    Text Title() { return LibraryTexts::title; }
    Text EXEName() { return LibraryTexts::file_name; }
    Text Path() { return utf8_to_text(library_folder()); }
    std::int16_t Major() { return LibraryVersion::major; }
    std::int16_t Minor() { return LibraryVersion::minor; }
    std::int16_t Revision() { return LibraryVersion::revision; }
    Text Comments() { return LibraryTexts::comments; }
    Text CompanyName() { return LibraryTexts::company; }
    Text FileDescription() { return LibraryTexts::description; }
    Text LegalCopyright() { return LibraryTexts::copyright; }
    Text LegalTrademarks() { return LibraryTexts::trademarks; }
    Text ProductName() { return LibraryTexts::product; }

    static const ClassInfo& info() {
        using namespace binding;
        static const ClassInfo k{
            "App",
            {get<&AppInfo::Title>("Title"), get<&AppInfo::EXEName>("EXEName"),
             get<&AppInfo::Path>("Path"), get<&AppInfo::Major>("Major"),
             get<&AppInfo::Minor>("Minor"), get<&AppInfo::Revision>("Revision"),
             get<&AppInfo::Comments>("Comments"), get<&AppInfo::CompanyName>("CompanyName"),
             get<&AppInfo::FileDescription>("FileDescription"),
             get<&AppInfo::LegalCopyright>("LegalCopyright"),
             get<&AppInfo::LegalTrademarks>("LegalTrademarks"),
             get<&AppInfo::ProductName>("ProductName")},
            std::nullopt};
        return k;
    }
    const ClassInfo* class_info() const override { return &info(); }
};

class ErrObject final : public Object {
  public:
    explicit ErrObject(Error e) : e_(std::move(e)) {}
    std::int32_t Number() { return e_.number(); }
    Text Source() { return utf8_to_text(e_.source()); }
    Text Description() { return utf8_to_text(e_.description()); }

    static const ClassInfo& info() {
        using namespace binding;
        static const ClassInfo k{
            "ErrObject",
            {get<&ErrObject::Number>("Number"), get<&ErrObject::Source>("Source"),
             get<&ErrObject::Description>("Description")},
            std::nullopt};
        return k;
    }
    const ClassInfo* class_info() const override { return &info(); }

  private:
    Error e_;
};

// ---- Default components ------------------------------------------------------------------

struct ReportStore {
    std::mutex mutex;
    std::deque<Report> kept;
    std::function<void(const Report&)> handler;
};
ReportStore& reports() {
    static ReportStore store;
    return store;
}

Variant get_property(const Variant& obj, const char* name) {
    ObjectRef o = to_object(obj);
    if (!o) raise_runtime(RuntimeError::ObjectNotSet);
    return o->invoke(name, MemberKind::Get, {});
}

// The about box accepts the call; a library without a user interface has nothing to show.
class clsKvTessel10A final : public Object {
  public:
    void AppAboutKvts(Variant) {}
    static const ClassInfo& info() {
        using namespace binding;
        static const ClassInfo k{
            "clsKvTessel10A",
            {method<&clsKvTessel10A::AppAboutKvts>("AppAboutKvts", {arg("oApp")})},
            std::nullopt};
        return k;
    }
    const ClassInfo* class_info() const override { return &info(); }
};

// The error reporter keeps each report and forwards it to the host's handler.
class clsKvtsErrorHandlerA final : public Object {
  public:
    void ErrorHandlerMessageKv(Variant&, Variant& err, Variant&, Variant& place, Variant&, Variant&,
                               Variant&, Variant) {
        Report r{
            to_i32(get_property(err, "Number")), text_to_utf8(to_text(get_property(err, "Source"))),
            text_to_utf8(to_text(get_property(err, "Description"))), text_to_utf8(to_text(place))};
        std::function<void(const Report&)> handler;
        {
            ReportStore& store = reports();
            std::lock_guard lock(store.mutex);
            store.kept.push_back(r);
            if (store.kept.size() > 1000) store.kept.pop_front();
            handler = store.handler;
        }
        if (handler) handler(r);
    }
    static const ClassInfo& info() {
        using namespace binding;
        static const ClassInfo k{
            "clsKvtsErrorHandlerA",
            {method<&clsKvtsErrorHandlerA::ErrorHandlerMessageKv>(
                "ErrorHandlerMessageKv",
                {arg("oApp"), arg("oErr"), arg("sMessage"), arg("sPlace"), arg("lFlags"),
                 arg("sExtra"), arg("lOptions"), opt("vReserved")})},
            std::nullopt};
        return k;
    }
    const ClassInfo* class_info() const override { return &info(); }
};

// ---- Catalogue ---------------------------------------------------------------------------

std::vector<Registered> default_catalogue() {
    std::vector<Registered> out;
    for (auto& c : frame::library_classes())
        out.push_back({"Ombrak10." + c.info->name, c.factory, c.info, true});
    out.push_back({kAboutBoxProgId, [] { return ObjectRef(std::make_shared<clsKvTessel10A>()); },
                   &clsKvTessel10A::info(), false});
    out.push_back({kErrorReporterProgId,
                   [] { return ObjectRef(std::make_shared<clsKvtsErrorHandlerA>()); },
                   &clsKvtsErrorHandlerA::info(), false});
    return out;
}

struct Catalogue {
    std::mutex mutex;
    std::vector<Registered> entries = default_catalogue();
};
Catalogue& the_catalogue() {
    static Catalogue c;
    return c;
}

}  // namespace

ObjectRef create_object(std::string_view progid) {
    Factory factory;
    {
        Catalogue& c = the_catalogue();
        std::lock_guard lock(c.mutex);
        for (const auto& e : c.entries)
            if (iequals(e.progid, progid)) factory = e.factory;
    }
    if (!factory) raise_runtime(RuntimeError::CannotCreateObject);
    ObjectRef o = factory();
    if (!o) raise_runtime(RuntimeError::CannotCreateObject);
    return o;
}

void register_class(std::string progid, Factory factory, const ClassInfo* info) {
    Catalogue& c = the_catalogue();
    std::lock_guard lock(c.mutex);
    for (auto& e : c.entries) {
        if (iequals(e.progid, progid)) {
            e = Registered{std::move(progid), std::move(factory), info, e.library};
            return;
        }
    }
    c.entries.push_back({std::move(progid), std::move(factory), info, false});
}

bool unregister_class(std::string_view progid) {
    Catalogue& c = the_catalogue();
    std::lock_guard lock(c.mutex);
    for (auto it = c.entries.begin(); it != c.entries.end(); ++it) {
        if (iequals(it->progid, progid)) {
            c.entries.erase(it);
            return true;
        }
    }
    return false;
}

void restore_default_classes() {
    Catalogue& c = the_catalogue();
    auto fresh = default_catalogue();
    std::lock_guard lock(c.mutex);
    c.entries = std::move(fresh);
}

std::vector<CatalogueEntry> catalogue() {
    Catalogue& c = the_catalogue();
    std::lock_guard lock(c.mutex);
    std::vector<CatalogueEntry> out;
    for (const auto& e : c.entries) out.push_back({e.progid, e.info, e.library});
    return out;
}

std::optional<CatalogueEntry> find_entry(std::string_view name) {
    for (auto& e : catalogue())
        if (iequals(e.progid, name) || (e.info && iequals(e.info->name, name))) return e;
    return std::nullopt;
}

const ClassInfo* find_class(std::string_view name) {
    auto e = find_entry(name);
    return e ? e->info : nullptr;
}

ObjectRef make_app_info() {
    return std::make_shared<AppInfo>();
}
ObjectRef make_error_object(const Error& e) {
    return std::make_shared<ErrObject>(e);
}

void set_report_handler(std::function<void(const Report&)> handler) {
    ReportStore& store = reports();
    std::lock_guard lock(store.mutex);
    store.handler = std::move(handler);
}

std::vector<Report> take_reports() {
    ReportStore& store = reports();
    std::lock_guard lock(store.mutex);
    std::vector<Report> out(store.kept.begin(), store.kept.end());
    store.kept.clear();
    return out;
}

void report_error(const Error& e, std::string_view place) {
    ObjectRef reporter = create_object(kErrorReporterProgId);
    Variant app(make_app_info()), err(make_error_object(e)), message{Text()},
        where{utf8_to_text(place)}, flags{std::int32_t{0}}, extra{Text()}, options{std::int32_t{0}},
        reserved = Variant::missing();
    ArgRef args[] = {{&app},   {&err},   {&message}, {&where},
                     {&flags}, {&extra}, {&options}, {&reserved, false}};
    reporter->invoke("ErrorHandlerMessageKv", MemberKind::Method, args);
}

}  // namespace ombrak
