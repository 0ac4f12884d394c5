// A large text at the bottom of objects nested deep, saved and loaded, beside the same text in
// a flat object: nesting should cost what the nesting levels cost, not depth times the text.
// Depth 0 is the flat case; the goal is at most 2 times its cost at depth 100.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "OleString.h"

namespace {

constexpr long kTextCharacters = 1024 * 1024;

const CComBSTR& LargeText()
{
    static const CComBSTR text(OleStringView(OleString(kTextCharacters, OLECHAR('x'))));
    return text;
}

bool AddProperty(ILumoItem* item, const OLECHAR* name, const VARIANT& value)
{
    CComPtr<ILumoEnumProperty> properties;
    return SUCCEEDED(item->get_Properties(&properties)) &&
           SUCCEEDED(properties->Add(value, CComBSTR(name), CComBSTR(OLESTR("urn:bench"))));
}

// An item holding the text, inside `depth` items, each holding the next as its property "inner".
CComPtr<ILumoItem> NestedItem(long depth)
{
    CComPtr<ILumoItem> item = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
    if (!item || !AddProperty(item, OLESTR("text"), CComVariant(LargeText())))
        return {};
    for (long level = 0; level < depth; ++level) {
        CComPtr<ILumoItem> outer = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
        if (!outer || !AddProperty(outer, OLESTR("inner"), CComVariant(static_cast<IDispatch*>(item.p))))
            return {};
        item = outer;
    }
    return item;
}

// A collection of one item holding the text, inside `depth` collections, each holding an item
// whose property "inner" is the next collection.
CComPtr<ILumoEnum> NestedCollection(long depth)
{
    CComVariant noKey;
    noKey.vt = VT_ERROR;
    noKey.scode = DISP_E_PARAMNOTFOUND;
    const CComPtr<ILumoItem> bottom = NestedItem(0);
    CComPtr<ILumoEnum> collection = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    if (!bottom || !collection || FAILED(collection->Add(CComVariant(static_cast<IDispatch*>(bottom.p)), noKey)))
        return {};
    for (long level = 0; level < depth; ++level) {
        CComPtr<ILumoItem> holder = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
        CComPtr<ILumoEnum> outer = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
        if (!holder || !outer || !AddProperty(holder, OLESTR("inner"), CComVariant(static_cast<IDispatch*>(collection.p))) ||
            FAILED(outer->Add(CComVariant(static_cast<IDispatch*>(holder.p)), noKey)))
            return {};
        collection = outer;
    }
    return collection;
}

// Saves the object and loads its text into a new object of the same program id, each round.
template <class Interface>
void RoundTrip(benchmark::State& state, const CComPtr<Interface>& source, const OLECHAR* progId)
{
    if (!source) {
        state.SkipWithError("cannot build the nested objects");
        return;
    }
    size_t length = 0;
    for (auto _ : state) {
        CComBSTR text;
        CComPtr<Interface> copy = CreateByProgId<Interface>(progId);
        if (FAILED(source->SaveXML(&text)) || !copy || FAILED(copy->LoadXML(text))) {
            state.SkipWithError("SaveXML or LoadXML failed");
            return;
        }
        length = text.Length();
    }
    state.counters["chars"] = static_cast<double>(length);
}

void NestedItemRoundTrip(benchmark::State& state)
{
    RoundTrip(state, NestedItem(static_cast<long>(state.range(0))), OLESTR("LumoItems.LumoItem"));
}
BENCHMARK(NestedItemRoundTrip)->ArgName("depth")->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

void NestedCollectionRoundTrip(benchmark::State& state)
{
    RoundTrip(state, NestedCollection(static_cast<long>(state.range(0))), OLESTR("LumoItems.LumoEnum"));
}
BENCHMARK(NestedCollectionRoundTrip)->ArgName("depth")->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
