#include "CupsJob.h"

#include <cups/cups.h>

#include <cctype>
#include <dlfcn.h>
#include <memory>
#include <mutex>

namespace CupsJob {

namespace {

// The print system's library, loaded at the first print: a run that never
// prints does not carry it (and the network, Kerberos and TLS libraries it
// brings) in memory.
struct Library {
    decltype(&::cupsGetNamedDest) getNamedDest = nullptr;
    decltype(&::cupsFreeDests) freeDests = nullptr;
    decltype(&::cupsAddOption) addOption = nullptr;
    decltype(&::cupsFreeOptions) freeOptions = nullptr;
    decltype(&::cupsCreateJob) createJob = nullptr;
    decltype(&::cupsStartDocument) startDocument = nullptr;
    decltype(&::cupsWriteRequestData) writeRequestData = nullptr;
    decltype(&::cupsFinishDocument) finishDocument = nullptr;
    decltype(&::cupsCancelJob2) cancelJob = nullptr;
    decltype(&::cupsLastErrorString) lastErrorString = nullptr;
    std::string failure; // why it could not be loaded
};

template <typename Function> bool Find(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

const Library& Cups() {
    static Library library;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        void* handle = ::dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* error = ::dlerror();
            library.failure = std::string("the print system's library cannot be loaded: ") +
                              (error != nullptr ? error : "libcups.so.2");
            return;
        }
        if (!Find(handle, "cupsGetNamedDest", library.getNamedDest) ||
            !Find(handle, "cupsFreeDests", library.freeDests) ||
            !Find(handle, "cupsAddOption", library.addOption) ||
            !Find(handle, "cupsFreeOptions", library.freeOptions) ||
            !Find(handle, "cupsCreateJob", library.createJob) ||
            !Find(handle, "cupsStartDocument", library.startDocument) ||
            !Find(handle, "cupsWriteRequestData", library.writeRequestData) ||
            !Find(handle, "cupsFinishDocument", library.finishDocument) ||
            !Find(handle, "cupsCancelJob2", library.cancelJob) ||
            !Find(handle, "cupsLastErrorString", library.lastErrorString)) {
            library.failure = "the print system's library lacks a function Tavlin uses";
        }
    });
    return library;
}

// The options of a destination, released with it.
struct Options {
    int count = 0;
    cups_option_t* list = nullptr;
    Options() = default;
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    ~Options() { Cups().freeOptions(count, list); }
    void add(const char* name, const std::string& value) {
        count = Cups().addOption(name, value.c_str(), count, &list);
    }
};

struct DestFree {
    void operator()(cups_dest_t* dest) const { Cups().freeDests(1, dest); }
};

std::string LastError(std::string_view what) {
    const char* reason = Cups().lastErrorString();
    return std::string(what) + ": " +
           (reason != nullptr && *reason != '\0' ? reason : "no reason given");
}

const char* SidesValue(Sides sides) {
    switch (sides) {
    case Sides::LongEdge:
        return "two-sided-long-edge";
    case Sides::ShortEdge:
        return "two-sided-short-edge";
    case Sides::OneSided:
        break;
    }
    return "one-sided";
}

} // namespace

Result SendPdf(const std::string& printer, const std::string& title, std::string_view pdf,
               const Settings& settings) {
    const Library& cups = Cups();
    if (!cups.failure.empty()) {
        return {false, 0, cups.failure};
    }
    const std::size_t slash = printer.find('/');
    const std::string queue = printer.substr(0, slash);
    const std::string instance =
        slash == std::string::npos ? std::string() : printer.substr(slash + 1);
    std::unique_ptr<cups_dest_t, DestFree> dest(cups.getNamedDest(
        CUPS_HTTP_DEFAULT, queue.c_str(), instance.empty() ? nullptr : instance.c_str()));
    if (!dest) {
        return {false, 0,
                LastError("the printer " + printer + " is not known to the print system")};
    }
    Options options;
    for (int i = 0; i < dest->num_options; ++i) {
        options.add(dest->options[i].name, dest->options[i].value);
    }
    options.add("copies", std::to_string(settings.copies < 1 ? 1 : settings.copies));
    options.add("multiple-document-handling", settings.collate
                                                  ? "separate-documents-collated-copies"
                                                  : "separate-documents-uncollated-copies");
    options.add("sides", SidesValue(settings.sides));
    options.add("print-color-mode", settings.monochrome ? "monochrome" : "color");

    const int job = cups.createJob(CUPS_HTTP_DEFAULT, queue.c_str(), title.c_str(), options.count,
                                   options.list);
    if (job == 0) {
        return {false, 0, LastError("the print system refused the job")};
    }
    if (cups.startDocument(CUPS_HTTP_DEFAULT, queue.c_str(), job, title.c_str(), CUPS_FORMAT_PDF,
                           1) != HTTP_STATUS_CONTINUE) {
        cups.cancelJob(CUPS_HTTP_DEFAULT, queue.c_str(), job, 0);
        return {false, 0, LastError("the print system did not take the document")};
    }
    // In pieces: the print server reads them as they come.
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t at = 0; at < pdf.size(); at += kPiece) {
        const std::string_view piece = pdf.substr(at, kPiece);
        if (cups.writeRequestData(CUPS_HTTP_DEFAULT, piece.data(), piece.size()) !=
            HTTP_STATUS_CONTINUE) {
            cups.finishDocument(CUPS_HTTP_DEFAULT, queue.c_str());
            cups.cancelJob(CUPS_HTTP_DEFAULT, queue.c_str(), job, 0);
            return {false, 0, LastError("the document did not reach the print system")};
        }
    }
    if (cups.finishDocument(CUPS_HTTP_DEFAULT, queue.c_str()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        return {false, 0, LastError("the print system did not accept the document")};
    }
    return {true, job, {}};
}

int PdfPageCount(std::string_view pdf) {
    // Every page is a dictionary with "/Type /Page" (the page tree's nodes
    // say "/Pages"), with or without white space between the two names.
    int pages = 0;
    constexpr std::string_view kType = "/Type";
    for (std::size_t at = pdf.find(kType); at != std::string_view::npos;
         at = pdf.find(kType, at + 1)) {
        std::size_t name = at + kType.size();
        while (name < pdf.size() && std::isspace(static_cast<unsigned char>(pdf[name]))) {
            ++name;
        }
        if (pdf.substr(name, 5) != "/Page") {
            continue;
        }
        const std::size_t after = name + 5;
        if (after == pdf.size() || !std::isalnum(static_cast<unsigned char>(pdf[after]))) {
            ++pages;
        }
    }
    return pages;
}

} // namespace CupsJob
