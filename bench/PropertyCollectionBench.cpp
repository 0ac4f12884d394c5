// Walking a property collection of 100,000 entries through its enumerator, early-bound (the
// vtables of IEnumVARIANT and ILumoProperty, no IDispatch), beside walks of a std::map and a
// std::unordered_map of the same keys and values that copy each value as the walk does.
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "OleString.h"

namespace {

constexpr LONG kEntries = 100000;
const OLECHAR kNamespace[] = OLESTR("urn:bench");

using EntryKey = std::pair<OleString, OleString>;

struct EntryKeyHash {
    size_t operator()(const EntryKey& key) const noexcept
    {
        const size_t name = std::hash<OleString>()(key.first);
        return name ^ (std::hash<OleString>()(key.second) + 0x9E3779B9u + (name << 6) + (name >> 2));
    }
};

// Names p000000 to p099999, whose order is that of their numbers; the value of each is its number.
OleString EntryName(LONG number)
{
    std::string digits = std::to_string(number);
    const std::string name = "p" + std::string(6 - digits.size(), '0') + digits;
    return OleString(name.begin(), name.end());
}

template <class Map>
Map FilledMap()
{
    Map map;
    for (LONG i = 0; i < kEntries; ++i)
        map.emplace(EntryKey(EntryName(i), kNamespace), CComVariant(i));
    return map;
}

CComPtr<ILumoEnumProperty> FilledCollection()
{
    CComPtr<ILumoEnumProperty> collection =
        CreateByProgId<ILumoEnumProperty>(OLESTR("LumoItems.LumoEnumProperty"));
    if (!collection)
        return collection;
    const CComBSTR nameSpace(kNamespace);
    for (LONG i = 0; i < kEntries; ++i) {
        if (FAILED(collection->Add(CComVariant(i), CComBSTR(OleStringView(EntryName(i))), nameSpace)))
            return {};
    }
    return collection;
}

// One for-each over the collection, Next fetching batch members at a time; the sum of the
// values read from the LumoProperty snapshots, or -1 when the walk failed or fell short.
LONGLONG WalkThroughEnumerator(ILumoEnumProperty* collection, std::vector<CComVariant>& elements)
{
    CComPtr<IUnknown> unknown;
    if (FAILED(collection->get__NewEnum(&unknown)))
        return -1;
    CComQIPtr<IEnumVARIANT> enumerator(unknown);
    if (!enumerator)
        return -1;
    LONGLONG sum = 0;
    LONG walked = 0;
    ULONG fetched = 0;
    while (SUCCEEDED(enumerator->Next(static_cast<ULONG>(elements.size()), elements.data(), &fetched)) &&
           fetched > 0) {
        for (ULONG k = 0; k < fetched; ++k) {
            CComQIPtr<ILumoProperty> property(elements[k].pdispVal);
            CComVariant value;
            if (!property || FAILED(property->get_Value(&value)))
                return -1;
            sum += value.lVal;
            // Next overwrites its elements without clearing them.
            elements[k].Clear();
        }
        walked += static_cast<LONG>(fetched);
    }
    return walked == kEntries ? sum : -1;
}

void PropertyCollectionWalk(benchmark::State& state)
{
    const CComPtr<ILumoEnumProperty> collection = FilledCollection();
    if (!collection) {
        state.SkipWithError("cannot fill the collection");
        return;
    }
    std::vector<CComVariant> elements(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        const LONGLONG sum = WalkThroughEnumerator(collection, elements);
        if (sum < 0) {
            state.SkipWithError("the walk failed");
            break;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(PropertyCollectionWalk)->ArgName("batch")->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);

template <class Map>
void StandardMapWalk(benchmark::State& state)
{
    const Map map = FilledMap<Map>();
    for (auto _ : state) {
        LONGLONG sum = 0;
        for (const auto& [key, value] : map) {
            CComVariant copy;
            copy.Copy(&value);
            sum += copy.lVal;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(StandardMapWalk<std::map<EntryKey, CComVariant>>)
    ->Name("StdMapWalk")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StandardMapWalk<std::unordered_map<EntryKey, CComVariant, EntryKeyHash>>)
    ->Name("StdUnorderedMapWalk")
    ->Unit(benchmark::kMillisecond);

}  // namespace
