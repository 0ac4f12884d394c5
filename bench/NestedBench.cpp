// A large text at the bottom of objects nested deep, saved and loaded, beside the same text in
// a flat object: nesting should cost what the nesting levels cost, not depth times the text.
// Depth 0 is the flat case; the goal is at most 2 times its cost at depth 100.
#include <benchmark/benchmark.h>

#include "BenchDocuments.h"

namespace {

constexpr long kTextCharacters = 1024 * 1024;

const CComBSTR& Text()
{
    static const CComBSTR text = LargeText(kTextCharacters);
    return text;
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
    RoundTrip(state, NestedItem(static_cast<long>(state.range(0)), Text()), OLESTR("LumoItems.LumoItem"));
}
BENCHMARK(NestedItemRoundTrip)->ArgName("depth")->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

void NestedCollectionRoundTrip(benchmark::State& state)
{
    RoundTrip(state, NestedCollection(static_cast<long>(state.range(0)), Text()), OLESTR("LumoItems.LumoEnum"));
}
BENCHMARK(NestedCollectionRoundTrip)->ArgName("depth")->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
