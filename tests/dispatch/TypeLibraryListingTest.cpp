// Each module's type library, read through LoadTypeLib, against the listing of its IDL: the
// same types, names, dispatch ids, slots, parameters and flags.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "OleString.h"
#include "TypeLibraryListing.h"

namespace {

struct LibraryCase {
    const char* module;
    const char* listing;
};

void PrintTo(const LibraryCase& library, std::ostream* out)
{
    *out << library.module;
}

// A listing cut into its library line and one block of lines per type, by the type's name.
struct Listing {
    std::string library;
    std::map<std::string, std::vector<std::string>> types;
    std::set<std::string> referred;  // the types that a line names as implemented or as a parameter
};

Listing Parse(const std::string& text)
{
    Listing listing;
    std::istringstream in(text);
    std::vector<std::string>* block = nullptr;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string first, second;
        words >> first >> second;
        if (first == "library") {
            listing.library = line;
        } else if (first == "type") {
            block = &listing.types[second];
        } else if (first == "implements") {
            listing.referred.insert(second);
        }
        if (const size_t at = line.find("USERDEFINED "); at != std::string::npos) {
            std::istringstream rest(line.substr(at + 12));
            std::string name;
            rest >> name;
            listing.referred.insert(name);
        }
        if (block && first != "library")
            block->push_back(line);
    }
    return listing;
}

std::string FileText(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TypeLibraryListingTest : public ::testing::TestWithParam<LibraryCase> {};

TEST_P(TypeLibraryListingTest, LoadedLibraryIsWhatTheDefinitionLists)
{
    const std::string modulePath = GetParam().module;
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLib(OleString(modulePath.begin(), modulePath.end()).c_str(), &library), S_OK) << modulePath;
    std::string loaded;
    try {
        loaded = TypeLibraryListing(library);
    } catch (const std::exception& error) {
        ADD_FAILURE() << modulePath << ": " << error.what();
    }
    library->Release();

    // Compared type by type: widl orders a library's types otherwise (each coclass before
    // its interfaces), and copies into it the imported interfaces it names.
    const Listing expected = Parse(FileText(GetParam().listing));
    const Listing actual = Parse(loaded);
    ASSERT_FALSE(expected.types.empty()) << GetParam().listing;
    EXPECT_EQ(actual.library, expected.library);
    for (const auto& [name, lines] : expected.types) {
        const auto found = actual.types.find(name);
        if (found == actual.types.end()) {
            ADD_FAILURE() << "the library lacks type " << name;
            continue;
        }
        EXPECT_EQ(found->second, lines) << "type " << name;
    }
    for (const auto& [name, lines] : actual.types) {
        const bool imported = !expected.types.count(name) && expected.referred.count(name);
        EXPECT_TRUE(expected.types.count(name) || imported) << "the library has type " << name << " too";
    }
    if (HasFailure())
        std::cout << "the library as loaded:\n" << loaded;
}

INSTANTIATE_TEST_SUITE_P(Modules, TypeLibraryListingTest,
                         ::testing::Values(LibraryCase{LUMO_DISPATCH_TEST_MODULE, LUMO_DISPATCH_TEST_LISTING},
                                           LibraryCase{LUMO_ITEMS_MODULE, LUMO_ITEMS_LISTING}),
                         [](const auto& info) { return info.index == 0 ? "TestDispatch" : "LumoItems"; });

}  // namespace
