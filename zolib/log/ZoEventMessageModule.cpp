#include "ZoEventMessageModule.h"

namespace {

// The image: the headers in the first 0x200 bytes of the file, then one section, ".rsrc",
// 0x400 bytes in the file, mapped at 0x1000. No code, no imports, no entry point.
constexpr DWORD kFileAlignment = 0x200;
constexpr DWORD kSectionAlignment = 0x1000;
constexpr DWORD kPeHeaderOffset = 0x40;
constexpr DWORD kOptionalHeaderSize = 0xE0;  // PE32, with its 16 data directories
constexpr DWORD kOptionalHeaderOffset = kPeHeaderOffset + 4 + 20;
constexpr DWORD kSectionTableOffset = kOptionalHeaderOffset + kOptionalHeaderSize;
constexpr DWORD kResourceFileOffset = kFileAlignment;
constexpr DWORD kResourceRva = kSectionAlignment;
constexpr DWORD kResourceFileSize = 0x400;

// Offsets in the resource section: the three directory levels (type, name, language), the
// data entry, the message table.
constexpr DWORD kTypeDirectory = 0x00;
constexpr DWORD kNameDirectory = 0x18;
constexpr DWORD kLanguageDirectory = 0x30;
constexpr DWORD kDataEntry = 0x48;
constexpr DWORD kMessageTable = 0x58;
constexpr DWORD kMessageTableSize = 4 + 12 + 16;  // one block, one entry of 16 bytes
constexpr DWORD kResourceSize = kMessageTable + kMessageTableSize;

constexpr WORD kMessageTableType = 11;  // RT_MESSAGETABLE
constexpr WORD kMessageTableName = 1;
constexpr WORD kEnglishUnitedStates = 1033;
constexpr DWORD kSubdirectory = 0x80000000;

using Image = std::array<BYTE, kZoEventMessageModuleSize>;

constexpr void Put16(Image& image, DWORD at, DWORD value)
{
    image[at] = static_cast<BYTE>(value & 0xFF);
    image[at + 1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

constexpr void Put32(Image& image, DWORD at, DWORD value)
{
    Put16(image, at, value & 0xFFFF);
    Put16(image, at + 2, value >> 16);
}

// A resource directory with one entry, identified by number.
constexpr void PutDirectory(Image& image, DWORD at, WORD id, DWORD target)
{
    const DWORD base = kResourceFileOffset + at;
    Put16(image, base + 14, 1);  // NumberOfIdEntries
    Put32(image, base + 16, id);
    Put32(image, base + 20, target);
}

constexpr Image BuildImage()
{
    Image image{};
    // DOS header: the signature and where the PE header is.
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kPeHeaderOffset);

    // PE signature and file header.
    image[kPeHeaderOffset] = 'P';
    image[kPeHeaderOffset + 1] = 'E';
    const DWORD file = kPeHeaderOffset + 4;
    Put16(image, file + 0, 0x014C);  // Machine: i386
    Put16(image, file + 2, 1);       // NumberOfSections
    Put16(image, file + 16, kOptionalHeaderSize);
    // Executable, no line numbers, no local symbols, 32-bit, DLL.
    Put16(image, file + 18, 0x0002 | 0x0004 | 0x0008 | 0x0100 | 0x2000);

    // Optional header (PE32).
    const DWORD optional = kOptionalHeaderOffset;
    Put16(image, optional + 0, 0x010B);  // Magic
    Put32(image, optional + 8, kResourceFileSize);  // SizeOfInitializedData
    Put32(image, optional + 24, kResourceRva);  // BaseOfData
    Put32(image, optional + 28, 0x10000000);  // ImageBase
    Put32(image, optional + 32, kSectionAlignment);
    Put32(image, optional + 36, kFileAlignment);
    Put16(image, optional + 40, 4);  // MajorOperatingSystemVersion
    Put16(image, optional + 48, 4);  // MajorSubsystemVersion
    Put32(image, optional + 56, kResourceRva + kSectionAlignment);  // SizeOfImage
    Put32(image, optional + 60, kFileAlignment);  // SizeOfHeaders
    Put16(image, optional + 68, 2);  // Subsystem: Windows GUI
    Put32(image, optional + 72, 0x100000);  // SizeOfStackReserve
    Put32(image, optional + 76, 0x1000);  // SizeOfStackCommit
    Put32(image, optional + 80, 0x100000);  // SizeOfHeapReserve
    Put32(image, optional + 84, 0x1000);  // SizeOfHeapCommit
    Put32(image, optional + 92, 16);  // NumberOfRvaAndSizes
    Put32(image, optional + 96 + 2 * 8, kResourceRva);  // the resource directory
    Put32(image, optional + 96 + 2 * 8 + 4, kResourceSize);

    // Section header.
    const DWORD section = kSectionTableOffset;
    const char name[] = ".rsrc";
    for (DWORD i = 0; i + 1 < sizeof name; ++i)
        image[section + i] = static_cast<BYTE>(name[i]);
    Put32(image, section + 8, kResourceSize);  // VirtualSize
    Put32(image, section + 12, kResourceRva);
    Put32(image, section + 16, kResourceFileSize);
    Put32(image, section + 20, kResourceFileOffset);
    Put32(image, section + 36, 0x40000040);  // initialised data, readable

    // Resources: message table 1, in US English.
    PutDirectory(image, kTypeDirectory, kMessageTableType, kSubdirectory | kNameDirectory);
    PutDirectory(image, kNameDirectory, kMessageTableName, kSubdirectory | kLanguageDirectory);
    PutDirectory(image, kLanguageDirectory, kEnglishUnitedStates, kDataEntry);
    Put32(image, kResourceFileOffset + kDataEntry, kResourceRva + kMessageTable);
    Put32(image, kResourceFileOffset + kDataEntry + 4, kMessageTableSize);

    // The message table: one block for ids 1 to 1, then its entry: length, Unicode flag and
    // the text with its NUL, padded to a multiple of four bytes.
    const DWORD table = kResourceFileOffset + kMessageTable;
    Put32(image, table, 1);
    Put32(image, table + 4, 1);
    Put32(image, table + 8, 1);
    Put32(image, table + 12, 16);
    const DWORD entry = table + 16;
    Put16(image, entry, 16);
    Put16(image, entry + 2, 1);
    const char text[] = "%1\r\n";
    for (DWORD i = 0; i + 1 < sizeof text; ++i)
        Put16(image, entry + 4 + 2 * i, static_cast<BYTE>(text[i]));
    return image;
}

constexpr Image kImage = BuildImage();

}  // namespace

const std::array<BYTE, kZoEventMessageModuleSize>& ZoEventMessageModule()
{
    return kImage;
}
