// A keyed item collection of 100,000 members: building it with Add and reading every member
// by key, beside a std::unordered_map of the same keys and values doing the same.
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "OleString.h"

namespace {

constexpr LONG kMembers = 100000;

const std::vector<CComBSTR>& Keys()
{
    static const std::vector<CComBSTR> keys = [] {
        std::vector<CComBSTR> made;
        made.reserve(kMembers);
        for (LONG i = 0; i < kMembers; ++i) {
            const std::string key = "key-" + std::to_string(i * 7919 % kMembers);
            made.emplace_back(OleStringView(OleString(key.begin(), key.end())));
        }
        return made;
    }();
    return keys;
}

CComPtr<ILumoEnum> BuiltCollection()
{
    CComPtr<ILumoEnum> collection = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    if (!collection)
        return collection;
    for (LONG i = 0; i < kMembers; ++i) {
        if (FAILED(collection->Add(CComVariant(i), CComVariant(Keys()[i]))))
            return {};
    }
    return collection;
}

std::unordered_map<OleString, CComVariant> BuiltMap()
{
    std::unordered_map<OleString, CComVariant> map;
    for (LONG i = 0; i < kMembers; ++i)
        map.emplace(OleString(ViewOfBstr(Keys()[i])), CComVariant(i));
    return map;
}

void BuildKeyedCollection(benchmark::State& state)
{
    Keys();
    for (auto _ : state) {
        CComPtr<ILumoEnum> collection = BuiltCollection();
        if (!collection) {
            state.SkipWithError("building the collection failed");
            return;
        }
        benchmark::DoNotOptimize(collection.p);
    }
    state.SetItemsProcessed(state.iterations() * kMembers);
}
BENCHMARK(BuildKeyedCollection)->Unit(benchmark::kMillisecond);

void BuildUnorderedMapBaseline(benchmark::State& state)
{
    Keys();
    for (auto _ : state) {
        auto map = BuiltMap();
        benchmark::DoNotOptimize(map);
    }
    state.SetItemsProcessed(state.iterations() * kMembers);
}
BENCHMARK(BuildUnorderedMapBaseline)->Unit(benchmark::kMillisecond);

void ReadEveryMemberByKey(benchmark::State& state)
{
    CComPtr<ILumoEnum> collection = BuiltCollection();
    if (!collection) {
        state.SkipWithError("building the collection failed");
        return;
    }
    std::vector<CComVariant> keys(Keys().begin(), Keys().end());
    for (auto _ : state) {
        LONGLONG sum = 0;
        for (const CComVariant& key : keys) {
            CComVariant value;
            collection->get_Item(key, &value);
            sum += value.lVal;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kMembers);
}
BENCHMARK(ReadEveryMemberByKey)->Unit(benchmark::kMillisecond);

void ReadUnorderedMapBaseline(benchmark::State& state)
{
    const auto map = BuiltMap();
    for (auto _ : state) {
        LONGLONG sum = 0;
        for (const CComBSTR& key : Keys()) {
            // A copy of the value, as get_Item hands one out.
            CComVariant value(map.at(OleString(ViewOfBstr(key))));
            sum += value.lVal;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kMembers);
}
BENCHMARK(ReadUnorderedMapBaseline)->Unit(benchmark::kMillisecond);

}  // namespace
