// SaveXML and LoadXML of an item of many properties and of a collection of many small items,
// at two sizes each to show how they scale, beside libxml2 building, writing and reading
// documents of the same shape directly (LibXmlBaseline.cpp).
#include <string>

#include <benchmark/benchmark.h>

#include "BenchDocuments.h"
#include "LibXmlBaseline.h"
#include "XmlBenchShape.h"

namespace {

void ItemSaveXML(benchmark::State& state)
{
    const long properties = static_cast<long>(state.range(0));
    const CComPtr<ILumoItem> item = FilledItem(properties);
    if (!item) {
        state.SkipWithError("cannot fill the item");
        return;
    }
    size_t length = 0;
    for (auto _ : state) {
        CComBSTR text;
        if (FAILED(item->SaveXML(&text))) {
            state.SkipWithError("SaveXML failed");
            return;
        }
        length = text.Length();
        benchmark::DoNotOptimize(text.m_str);
    }
    state.SetItemsProcessed(state.iterations() * properties);
    state.counters["chars"] = static_cast<double>(length);
}
BENCHMARK(ItemSaveXML)->ArgName("properties")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void ItemLoadXML(benchmark::State& state)
{
    const long properties = static_cast<long>(state.range(0));
    CComBSTR text;
    const CComPtr<ILumoItem> source = FilledItem(properties);
    if (!source || FAILED(source->SaveXML(&text))) {
        state.SkipWithError("cannot save the item to load");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<ILumoItem> item = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
        state.ResumeTiming();
        if (!item || FAILED(item->LoadXML(text))) {
            state.SkipWithError("LoadXML failed");
            return;
        }
        state.PauseTiming();
        const bool complete = PropertyCount(item) == properties;
        item.Release();
        state.ResumeTiming();
        if (!complete) {
            state.SkipWithError("LoadXML read another number of properties");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * properties);
}
BENCHMARK(ItemLoadXML)->ArgName("properties")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void CollectionSaveXML(benchmark::State& state)
{
    const long members = static_cast<long>(state.range(0));
    const CComPtr<ILumoEnum> collection = FilledCollection(members);
    if (!collection) {
        state.SkipWithError("cannot fill the collection");
        return;
    }
    size_t length = 0;
    for (auto _ : state) {
        CComBSTR text;
        if (FAILED(collection->SaveXML(&text))) {
            state.SkipWithError("SaveXML failed");
            return;
        }
        length = text.Length();
        benchmark::DoNotOptimize(text.m_str);
    }
    state.SetItemsProcessed(state.iterations() * members * kPropertiesPerMember);
    state.counters["chars"] = static_cast<double>(length);
}
BENCHMARK(CollectionSaveXML)->ArgName("items")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void CollectionLoadXML(benchmark::State& state)
{
    const long members = static_cast<long>(state.range(0));
    CComBSTR text;
    const CComPtr<ILumoEnum> source = FilledCollection(members);
    if (!source || FAILED(source->SaveXML(&text))) {
        state.SkipWithError("cannot save the collection to load");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<ILumoEnum> collection = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
        state.ResumeTiming();
        if (!collection || FAILED(collection->LoadXML(text))) {
            state.SkipWithError("LoadXML failed");
            return;
        }
        state.PauseTiming();
        const bool complete = MemberCount(collection) == members;
        collection.Release();
        state.ResumeTiming();
        if (!complete) {
            state.SkipWithError("LoadXML read another number of items");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * members * kPropertiesPerMember);
}
BENCHMARK(CollectionLoadXML)->ArgName("items")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void LibXmlItemWrite(benchmark::State& state)
{
    const long properties = static_cast<long>(state.range(0));
    size_t length = 0;
    for (auto _ : state) {
        const std::string text = LibXmlWriteItemDocument(properties);
        length = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations() * properties);
    state.counters["bytes"] = static_cast<double>(length);
}
BENCHMARK(LibXmlItemWrite)->ArgName("properties")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void LibXmlItemRead(benchmark::State& state)
{
    const long properties = static_cast<long>(state.range(0));
    const std::string text = LibXmlWriteItemDocument(properties);
    for (auto _ : state) {
        if (LibXmlReadDocument(text) != properties) {
            state.SkipWithError("libxml2 read another number of properties");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * properties);
}
BENCHMARK(LibXmlItemRead)->ArgName("properties")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void LibXmlCollectionWrite(benchmark::State& state)
{
    const long members = static_cast<long>(state.range(0));
    size_t length = 0;
    for (auto _ : state) {
        const std::string text = LibXmlWriteCollectionDocument(members, kPropertiesPerMember);
        length = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations() * members * kPropertiesPerMember);
    state.counters["bytes"] = static_cast<double>(length);
}
BENCHMARK(LibXmlCollectionWrite)->ArgName("items")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void LibXmlCollectionRead(benchmark::State& state)
{
    const long members = static_cast<long>(state.range(0));
    const std::string text = LibXmlWriteCollectionDocument(members, kPropertiesPerMember);
    for (auto _ : state) {
        if (LibXmlReadDocument(text) != members * kPropertiesPerMember) {
            state.SkipWithError("libxml2 read another number of properties");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * members * kPropertiesPerMember);
}
BENCHMARK(LibXmlCollectionRead)->ArgName("items")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
