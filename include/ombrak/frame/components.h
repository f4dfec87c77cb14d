// The catalogue, the application-information object and the two external components (about box
// and error reporter), with the failure-handling helpers built on them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ombrak/frame/error.h"
#include "ombrak/frame/object.h"

namespace ombrak {

/// Programmatic names of the external components.
inline constexpr const char* kAboutBoxProgId = "KvTessel10.clsKvTessel10A";
inline constexpr const char* kErrorReporterProgId = "KvTessel10.clsKvtsErrorHandlerA";

using Factory = std::function<ObjectRef()>;

struct CatalogueEntry {
    std::string progid;
    const ClassInfo* info;  // nullptr for a host-registered class without a table
    bool library;           // a class of this library (not a component)
};

/// Creates an object by programmatic name (case-insensitive); unknown names raise error 429.
ObjectRef create_object(std::string_view progid);
/// Adds or replaces a class under a programmatic name (used to replace a component).
void register_class(std::string progid, Factory factory, const ClassInfo* info = nullptr);
/// Removes a class; returns false if the name was not there.
bool unregister_class(std::string_view progid);
/// Puts the library's classes and the default components back as they were at start.
void restore_default_classes();
/// The catalogue in order: the library's classes first, then the components.
std::vector<CatalogueEntry> catalogue();
/// A class description by programmatic name or by class name (case-insensitive).
const ClassInfo* find_class(std::string_view name);
/// The catalogue entry of a class by programmatic name or by class name (case-insensitive).
std::optional<CatalogueEntry> find_entry(std::string_view name);

/// Library name, version and descriptive texts.
struct LibraryVersion {
    static constexpr std::int16_t major = 1, minor = 0, revision = 139;
};
/// The descriptive texts of the library's version information, as the application-information
/// object and the version resource give them.
struct LibraryTexts {
    static constexpr const char16_t* title = u"Ombrak10";
    static constexpr const char16_t* file_name = u"ombrak10";
    static constexpr const char16_t* comments =
        u"Ciphers, message digests and encodings for host programs";
    static constexpr const char16_t* company = u"Ombrak10 developers";
    static constexpr const char16_t* description = u"Ombrak10 cipher, digest and encoding library";
    static constexpr const char16_t* copyright = u"Copyright the Ombrak10 developers";
    static constexpr const char16_t* trademarks = u"";
    static constexpr const char16_t* product = u"Ombrak10";
};

/// The library's application-information object (properties Title, EXEName, Path, Major, ...).
ObjectRef make_app_info();
/// An error as an object with properties Number, Source and Description.
ObjectRef make_error_object(const Error& e);

/// What the default error reporter received.
struct Report {
    std::int32_t number;
    std::string source;
    std::string description;
    std::string place;
};
/// Installs a handler the default error reporter forwards each report to (nullptr removes it).
void set_report_handler(std::function<void(const Report&)> handler);
/// The reports the default error reporter kept (the last 1000), and empties that list.
std::vector<Report> take_reports();

/// Hands an error to the error reporter component with the reporting place ("owner.operation").
/// A failure here (no reporter, a failing call) propagates to the caller.
void report_error(const Error& e, std::string_view place);

/// Runs one statement of a report-and-continue operation: a failure is reported and the
/// operation goes on.
template <class F>
void report_and_continue(std::string_view place, F&& statement) {
    try {
        statement();
    } catch (...) {
        report_error(current_error(), place);
    }
}

/// Runs a swallowing operation: true when it ran to its end, false on any failure.
template <class F>
bool swallow(F&& operation) noexcept {
    try {
        operation();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace ombrak
