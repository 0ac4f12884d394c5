// The goals of the XML documents, each measured beside its baseline in one run and printed as
// a table: ours, the baseline, their ratio, the goal and whether it is met. Times are medians
// of rounds that alternate the two sides; peaks of memory are measured in a child process per
// case and side, from what is resident once the input text is in memory.
#include "Goals.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchDocuments.h"
#include "LibXmlBaseline.h"
#include "OleString.h"
#include "ProcessMemory.h"

namespace {

void Require(bool condition, const std::string& what)
{
    if (!condition)
        throw std::runtime_error(what);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Milliseconds(const std::function<void()>& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct Timings {
    double ours;
    double baseline;
};

// Rounds alternate the sides, so that both meet the machine as it is; each side's median.
// afterEach runs untimed after every round of either side: it releases what a load made.
Timings PairedMedians(int rounds, const std::function<void()>& ours, const std::function<void()>& baseline,
                      const std::function<void()>& afterEach = [] {})
{
    std::vector<double> oursTimes, baselineTimes;
    for (int round = 0; round < rounds; ++round) {
        oursTimes.push_back(Milliseconds(ours));
        afterEach();
        baselineTimes.push_back(Milliseconds(baseline));
        afterEach();
    }
    return {Median(oursTimes), Median(baselineTimes)};
}

std::string Utf8(const CComBSTR& text)
{
    const int wide = static_cast<int>(text.Length());
    if (wide == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.m_str, wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.m_str, wide, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

CComBSTR Wide(const std::string& utf8)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    CComBSTR text(static_cast<UINT>(size), nullptr);
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.m_str, size);
    return text;
}

CComBSTR Saved(ILumoItemBase* object)
{
    CComBSTR text;
    Require(SUCCEEDED(object->SaveXML(&text)), "SaveXML failed");
    return text;
}

template <class Interface>
CComPtr<Interface> Loaded(const OLECHAR* progId, const CComBSTR& text)
{
    CComPtr<Interface> object = CreateByProgId<Interface>(progId);
    Require(object && SUCCEEDED(object->LoadXML(text)), "LoadXML failed");
    return object;
}

constexpr OLECHAR kItemProgId[] = OLESTR("LumoItems.LumoItem");
constexpr OLECHAR kEnumProgId[] = OLESTR("LumoItems.LumoEnum");

// One line of the table.
struct Row {
    std::string goal;
    std::string unit;
    double ours;
    double baseline;
    std::string baselineName;
    // 0: a row for reference, with no goal of its own.
    double limit;
};

class CGoalTable {
public:
    void Add(Row row)
    {
        std::printf("  measured: %s\n", row.goal.c_str());
        std::fflush(stdout);
        m_rows.push_back(std::move(row));
    }

    // Prints the table; whether every goal is met.
    bool Print() const
    {
        bool allMet = true;
        std::printf("\n| goal | ours | baseline | ratio | at most | met |\n|---|---:|---:|---:|---:|---|\n");
        for (const Row& row : m_rows) {
            const double ratio = row.ours / row.baseline;
            const bool reference = row.limit == 0;
            const bool met = reference || ratio <= row.limit;
            allMet = allMet && met;
            const std::string limit = reference ? "-" : std::to_string(row.limit).substr(0, 4);
            std::printf("| %s | %.1f %s | %.1f %s (%s) | %.2f | %s | %s |\n", row.goal.c_str(), row.ours,
                        row.unit.c_str(), row.baseline, row.unit.c_str(), row.baselineName.c_str(), ratio,
                        limit.c_str(), reference ? "-" : (met ? "yes" : "NO"));
        }
        return allMet;
    }

private:
    std::vector<Row> m_rows;
};

void NestedGoals(CGoalTable& table)
{
    const CComBSTR text = LargeText(1024 * 1024);
    struct Shape {
        const char* name;
        std::function<CComPtr<ILumoItemBase>(long depth)> make;
        const OLECHAR* progId;
    };
    const Shape shapes[] = {
        {"item", [&](long depth) { return CComPtr<ILumoItemBase>(NestedItem(depth, text)); }, kItemProgId},
        {"collection", [&](long depth) { return CComPtr<ILumoItemBase>(NestedCollection(depth, text)); }, kEnumProgId},
    };
    for (const Shape& shape : shapes) {
        const CComPtr<ILumoItemBase> deep = shape.make(100);
        const CComPtr<ILumoItemBase> flat = shape.make(0);
        Require(deep && flat, "cannot build the nested objects");
        const Timings save = PairedMedians(5, [&] { Saved(deep); }, [&] { Saved(flat); });
        const CComBSTR deepText = Saved(deep);
        const CComBSTR flatText = Saved(flat);
        CComPtr<ILumoItemBase> loaded;
        const Timings load = PairedMedians(
            5, [&] { loaded = Loaded<ILumoItemBase>(shape.progId, deepText); },
            [&] { loaded = Loaded<ILumoItemBase>(shape.progId, flatText); }, [&] { loaded.Release(); });
        const std::string what = std::string(shape.name) + " nested 100 deep, 1 MB text";
        table.Add({"SaveXML, " + what, "ms", save.ours, save.baseline, "the same flat", 2.0});
        table.Add({"LoadXML, " + what, "ms", load.ours, load.baseline, "the same flat", 2.0});
    }
}

// Save and load of an item of that many properties, and libxml2 doing the same.
struct FlatTimings {
    Timings save;
    Timings load;
};

FlatTimings ItemTimings(long properties, int rounds)
{
    const CComPtr<ILumoItem> item = FilledItem(properties);
    Require(item != nullptr, "cannot fill the item");
    const CComBSTR text = Saved(item);
    const std::string libxmlText = LibXmlWriteItemDocument(properties);
    FlatTimings timings;
    timings.save = PairedMedians(rounds, [&] { Saved(item); }, [&] { LibXmlWriteItemDocument(properties); });
    CComPtr<ILumoItem> loaded;
    timings.load = PairedMedians(
        rounds, [&] { loaded = Loaded<ILumoItem>(kItemProgId, text); },
        [&] { Require(LibXmlReadDocument(libxmlText) == properties, "libxml2 read another number"); },
        [&] {
            Require(!loaded || PropertyCount(loaded) == properties, "a property is missing");
            loaded.Release();
        });
    return timings;
}

void FlatGoals(CGoalTable& table)
{
    const FlatTimings small = ItemTimings(10000, 9);
    const FlatTimings medium = ItemTimings(100000, 5);
    const FlatTimings large = ItemTimings(1000000, 3);
    table.Add({"SaveXML, 100,000 properties", "ms", medium.save.ours, medium.save.baseline, "libxml2", 2.5});
    table.Add({"LoadXML, 100,000 properties", "ms", medium.load.ours, medium.load.baseline, "libxml2", 1.5});

    const long members = 10000;
    const CComPtr<ILumoEnum> collection = FilledCollection(members);
    Require(collection != nullptr, "cannot fill the collection");
    const CComBSTR text = Saved(collection);
    const std::string libxmlText = LibXmlWriteCollectionDocument(members, kPropertiesPerMember);
    const Timings save =
        PairedMedians(5, [&] { Saved(collection); }, [&] { LibXmlWriteCollectionDocument(members, kPropertiesPerMember); });
    CComPtr<ILumoEnum> loaded;
    const Timings load = PairedMedians(
        5, [&] { loaded = Loaded<ILumoEnum>(kEnumProgId, text); },
        [&] { Require(LibXmlReadDocument(libxmlText) == members * kPropertiesPerMember, "libxml2 read another number"); },
        [&] {
            Require(!loaded || MemberCount(loaded) == members, "a member is missing");
            loaded.Release();
        });
    table.Add({"SaveXML, 10,000 items of 10 properties", "ms", save.ours, save.baseline, "libxml2", 3.0});
    table.Add({"LoadXML, 10,000 items of 10 properties", "ms", load.ours, load.baseline, "libxml2", 3.0});

    // Ten times the data at most eleven times the time.
    table.Add({"SaveXML, 100,000 properties against 10,000", "ms", medium.save.ours, small.save.ours,
               "ours at 10,000", 11.0});
    table.Add({"SaveXML, 1,000,000 properties against 100,000", "ms", large.save.ours, medium.save.ours,
               "ours at 100,000", 11.0});
    table.Add({"LoadXML, 100,000 properties against 10,000", "ms", medium.load.ours, small.load.ours,
               "ours at 10,000", 11.0});
    table.Add({"LoadXML, 1,000,000 properties against 100,000", "ms", large.load.ours, medium.load.ours,
               "ours at 100,000", 11.0});
    // The same steps of libxml2 itself, for what the machine's caches make of ten times the data.
    table.Add({"libxml2 writing 100,000 properties against 10,000", "ms", medium.save.baseline, small.save.baseline,
               "libxml2 at 10,000", 0});
    table.Add({"libxml2 writing 1,000,000 properties against 100,000", "ms", large.save.baseline,
               medium.save.baseline, "libxml2 at 100,000", 0});
    table.Add({"libxml2 reading 100,000 properties against 10,000", "ms", medium.load.baseline, small.load.baseline,
               "libxml2 at 10,000", 0});
    table.Add({"libxml2 reading 1,000,000 properties against 100,000", "ms", large.load.baseline,
               medium.load.baseline, "libxml2 at 100,000", 0});
}

// The peak above what was resident before, in a child process, in MiB.
double ChildPeak(const std::filesystem::path& document, const char* side, const char* kind)
{
    const std::string command =
        "'" + OwnProgramPath() + "' --memory-case '" + document.string() + "' " + side + " " + kind;
    const std::optional<std::string> output = OutputOf(command);
    Require(output && !output->empty(), std::string("the memory case failed: ") + command);
    return std::stod(*output) / 1024.0;
}

void MemoryGoals(CGoalTable& table)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lumoitems-goals-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    struct Case {
        const char* name;
        const char* kind;
        std::function<std::string()> text;
    };
    const Case cases[] = {
        {"flat item, one text of 100 MB", "item",
         [] {
             return "<item progid=\"LumoItemsLib::LumoItem\"><property name=\"text\" namespace=\"urn:bench\" "
                    "changed=\"1\" type=\"string\">" +
                    std::string(100u * 1024 * 1024, 'x') + "</property></item>";
         }},
        {"flat item, 1,000,000 properties", "item", [] { return LibXmlWriteItemDocument(1000000); }},
        {"flat collection, 1,000,000 empty items", "enum", [] { return LibXmlWriteCollectionDocument(1000000, 0); }},
        {"item nested 254 deep, 1 MB text", "item",
         [] { return Utf8(Saved(NestedItem(254, LargeText(1024 * 1024)))); }},
        {"collection nested 169 deep, 1 MB text", "enum",
         [] { return Utf8(Saved(NestedCollection(169, LargeText(1024 * 1024)))); }},
    };
    for (const Case& memoryCase : cases) {
        const std::filesystem::path document = folder / "document.xml";
        {
            const std::string text = memoryCase.text();
            std::ofstream(document, std::ios::binary) << text;
        }
        const double ours = ChildPeak(document, "ours", memoryCase.kind);
        const double baseline = ChildPeak(document, "libxml2", memoryCase.kind);
        table.Add({std::string("peak memory of LoadXML, ") + memoryCase.name + " (" +
                       std::to_string(std::filesystem::file_size(document) / (1024 * 1024)) + " MB)",
                   "MiB", ours, baseline, "libxml2's tree", 2.0});
    }
    std::filesystem::remove_all(folder);
}

}  // namespace

int RunGoals()
{
    try {
        CGoalTable table;
        std::printf("Measuring the document goals (a few minutes)\n");
        NestedGoals(table);
        FlatGoals(table);
        MemoryGoals(table);
        return table.Print() ? 0 : 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumoitems_bench --goals: %s\n", error.what());
        return 1;
    }
}

int RunMemoryCase(const char* document, const std::string& side, const std::string& kind)
{
    try {
        std::ifstream file(document, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        Require(!text.empty(), "cannot read the document");
        long long before = 0;
        if (side == "libxml2") {
            before = ResidentKilobytes();
            Require(ResetPeakResident(), "cannot reset the peak of resident memory");
            Require(LibXmlParseAndFree(text), "libxml2 cannot parse the document");
        } else {
            // The input as a client holds it, the UTF-8 copy gone.
            const CComBSTR wide = Wide(text);
            std::string().swap(text);
            CComPtr<ILumoItemBase> object = CreateByProgId<ILumoItemBase>(kind == "item" ? kItemProgId : kEnumProgId);
            Require(object != nullptr, "cannot create the object");
            before = ResidentKilobytes();
            Require(ResetPeakResident(), "cannot reset the peak of resident memory");
            Require(SUCCEEDED(object->LoadXML(wide)), "LoadXML failed");
        }
        std::printf("%lld\n", PeakResidentKilobytes() - before);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumoitems_bench --memory-case: %s\n", error.what());
        return 1;
    }
}
