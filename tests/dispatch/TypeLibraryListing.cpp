#include "TypeLibraryListing.h"

#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

struct FlagName {
    unsigned value;
    const char* name;
};

const FlagName kTypeFlags[] = {
    {TYPEFLAG_FAPPOBJECT, "FAPPOBJECT"},   {TYPEFLAG_FCANCREATE, "FCANCREATE"},
    {TYPEFLAG_FLICENSED, "FLICENSED"},     {TYPEFLAG_FPREDECLID, "FPREDECLID"},
    {TYPEFLAG_FHIDDEN, "FHIDDEN"},         {TYPEFLAG_FCONTROL, "FCONTROL"},
    {TYPEFLAG_FDUAL, "FDUAL"},             {TYPEFLAG_FNONEXTENSIBLE, "FNONEXTENSIBLE"},
    {TYPEFLAG_FOLEAUTOMATION, "FOLEAUTOMATION"}, {TYPEFLAG_FRESTRICTED, "FRESTRICTED"},
    {TYPEFLAG_FAGGREGATABLE, "FAGGREGATABLE"}, {TYPEFLAG_FREPLACEABLE, "FREPLACEABLE"},
    {TYPEFLAG_FDISPATCHABLE, "FDISPATCHABLE"}, {TYPEFLAG_FREVERSEBIND, "FREVERSEBIND"},
    {TYPEFLAG_FPROXY, "FPROXY"},
};

const FlagName kFuncFlags[] = {
    {FUNCFLAG_FRESTRICTED, "FRESTRICTED"},   {FUNCFLAG_FSOURCE, "FSOURCE"},
    {FUNCFLAG_FBINDABLE, "FBINDABLE"},       {FUNCFLAG_FREQUESTEDIT, "FREQUESTEDIT"},
    {FUNCFLAG_FDISPLAYBIND, "FDISPLAYBIND"}, {FUNCFLAG_FDEFAULTBIND, "FDEFAULTBIND"},
    {FUNCFLAG_FHIDDEN, "FHIDDEN"},           {FUNCFLAG_FUSESGETLASTERROR, "FUSESGETLASTERROR"},
    {FUNCFLAG_FDEFAULTCOLLELEM, "FDEFAULTCOLLELEM"}, {FUNCFLAG_FUIDEFAULT, "FUIDEFAULT"},
    {FUNCFLAG_FNONBROWSABLE, "FNONBROWSABLE"}, {FUNCFLAG_FREPLACEABLE, "FREPLACEABLE"},
    {FUNCFLAG_FIMMEDIATEBIND, "FIMMEDIATEBIND"},
};

const FlagName kParamFlags[] = {
    {PARAMFLAG_FIN, "FIN"},         {PARAMFLAG_FOUT, "FOUT"},
    {PARAMFLAG_FLCID, "FLCID"},     {PARAMFLAG_FRETVAL, "FRETVAL"},
    {PARAMFLAG_FOPT, "FOPT"},       {PARAMFLAG_FHASDEFAULT, "FHASDEFAULT"},
    {PARAMFLAG_FHASCUSTDATA, "FHASCUSTDATA"},
};

const FlagName kImplTypeFlags[] = {
    {IMPLTYPEFLAG_FDEFAULT, "FDEFAULT"},       {IMPLTYPEFLAG_FSOURCE, "FSOURCE"},
    {IMPLTYPEFLAG_FRESTRICTED, "FRESTRICTED"}, {IMPLTYPEFLAG_FDEFAULTVTABLE, "FDEFAULTVTABLE"},
};

const FlagName kLibFlags[] = {
    {LIBFLAG_FRESTRICTED, "FRESTRICTED"},
    {LIBFLAG_FCONTROL, "FCONTROL"},
    {LIBFLAG_FHIDDEN, "FHIDDEN"},
    {LIBFLAG_FHASDISKIMAGE, "FHASDISKIMAGE"},
};

const FlagName kInvokeKinds[] = {
    {INVOKE_FUNC, "FUNC"},
    {INVOKE_PROPERTYGET, "PROPERTYGET"},
    {INVOKE_PROPERTYPUT, "PROPERTYPUT"},
    {INVOKE_PROPERTYPUTREF, "PROPERTYPUTREF"},
};

const FlagName kVarTypes[] = {
    {VT_EMPTY, "EMPTY"},     {VT_I2, "I2"},     {VT_I4, "I4"},         {VT_R4, "R4"},
    {VT_R8, "R8"},           {VT_CY, "CY"},     {VT_DATE, "DATE"},     {VT_BSTR, "BSTR"},
    {VT_DISPATCH, "DISPATCH"}, {VT_ERROR, "ERROR"}, {VT_BOOL, "BOOL"}, {VT_VARIANT, "VARIANT"},
    {VT_UNKNOWN, "UNKNOWN"}, {VT_DECIMAL, "DECIMAL"}, {VT_I1, "I1"},   {VT_UI1, "UI1"},
    {VT_UI2, "UI2"},         {VT_UI4, "UI4"},   {VT_I8, "I8"},         {VT_UI8, "UI8"},
    {VT_INT, "INT"},         {VT_UINT, "UINT"}, {VT_VOID, "VOID"},     {VT_HRESULT, "HRESULT"},
    {VT_PTR, "PTR"},         {VT_SAFEARRAY, "SAFEARRAY"}, {VT_USERDEFINED, "USERDEFINED"},
};

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

template <size_t N>
std::string Flags(unsigned value, const FlagName (&names)[N])
{
    std::vector<std::string> parts;
    for (const FlagName& flag : names) {
        if (value & flag.value) {
            parts.push_back(flag.name);
            value &= ~flag.value;
        }
    }
    std::sort(parts.begin(), parts.end());
    if (value)
        parts.push_back(Hex(value));
    if (parts.empty())
        return "0";
    std::string text = parts.front();
    for (size_t i = 1; i < parts.size(); ++i)
        text += "|" + parts[i];
    return text;
}

template <size_t N>
std::string NameOf(unsigned value, const FlagName (&names)[N])
{
    for (const FlagName& entry : names)
        if (entry.value == value)
            return entry.name;
    return Hex(value);
}

void Check(HRESULT hr, const char* call)
{
    if (FAILED(hr))
        throw std::runtime_error(std::string(call) + " failed with " + Hex(static_cast<unsigned>(hr)));
}

// Printable ASCII as it stands, every other UTF-16 unit as \uXXXX.
std::string Text(const OLECHAR* text)
{
    std::string out;
    for (; text && *text; ++text) {
        if (*text >= 0x20 && *text < 0x7F) {
            out += static_cast<char>(*text);
        } else {
            char unit[8];
            std::snprintf(unit, sizeof unit, "\\u%04X", static_cast<unsigned>(*text));
            out += unit;
        }
    }
    return out;
}

class Bstr {
public:
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(m_text); }
    BSTR* operator&() { return &m_text; }
    std::string Text() const { return ::Text(m_text); }
    bool Empty() const { return !m_text; }

private:
    BSTR m_text = nullptr;
};

std::string GuidText(REFGUID guid)
{
    OLECHAR text[40] = {};
    StringFromGUID2(guid, text, 40);
    return Text(text);
}

std::string Quoted(const Bstr& doc)
{
    return doc.Empty() ? std::string() : " \"" + doc.Text() + "\"";
}

// Holds one type's description and its attributes for as long as it lists them.
class TypeListing {
public:
    explicit TypeListing(ITypeInfo* info) : m_info(info)
    {
        m_info->AddRef();
        Check(m_info->GetTypeAttr(&m_attr), "GetTypeAttr");
    }
    TypeListing(const TypeListing&) = delete;
    TypeListing& operator=(const TypeListing&) = delete;
    ~TypeListing()
    {
        m_info->ReleaseTypeAttr(m_attr);
        m_info->Release();
    }

    const TYPEATTR& Attr() const { return *m_attr; }
    ITypeInfo* Info() const { return m_info; }

    std::string Name(MEMBERID memid = MEMBERID_NIL) const
    {
        Bstr name;
        Check(m_info->GetDocumentation(memid, &name, nullptr, nullptr, nullptr), "GetDocumentation");
        return name.Text();
    }

    std::string Doc() const
    {
        Bstr doc;
        Check(m_info->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr), "GetDocumentation");
        return Quoted(doc);
    }

    std::string ReferredName(HREFTYPE ref) const
    {
        ITypeInfo* referred = nullptr;
        Check(m_info->GetRefTypeInfo(ref, &referred), "GetRefTypeInfo");
        Bstr name;
        const HRESULT hr = referred->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        referred->Release();
        Check(hr, "GetDocumentation");
        return name.Text();
    }

    std::string Type(const TYPEDESC& type) const
    {
        if (type.vt == VT_PTR)
            return "PTR " + Type(*type.lptdesc);
        if (type.vt == VT_USERDEFINED)
            return "USERDEFINED " + ReferredName(type.hreftype);
        return NameOf(type.vt, kVarTypes);
    }

    std::string ImplementedName(UINT index) const
    {
        HREFTYPE ref = 0;
        Check(m_info->GetRefTypeOfImplType(index, &ref), "GetRefTypeOfImplType");
        return ReferredName(ref);
    }

private:
    ITypeInfo* m_info;
    TYPEATTR* m_attr = nullptr;
};

void ListFunctions(const TypeListing& type, std::string& out)
{
    std::vector<MEMBERID> ids;
    for (UINT index = 0; index < type.Attr().cFuncs; ++index) {
        FUNCDESC* desc = nullptr;
        Check(type.Info()->GetFuncDesc(index, &desc), "GetFuncDesc");
        out += "  function " + type.Name(desc->memid) + " id " + std::to_string(desc->memid) + " " +
               NameOf(desc->invkind, kInvokeKinds) + " slot " + std::to_string(desc->oVft / sizeof(void*)) +
               " optional " + std::to_string(desc->cParamsOpt) + " flags " + Flags(desc->wFuncFlags, kFuncFlags) +
               " returns " + type.Type(desc->elemdescFunc.tdesc) + "\n";
        for (SHORT p = 0; p < desc->cParams; ++p) {
            const ELEMDESC& param = desc->lprgelemdescParam[p];
            out += "    param " + type.Type(param.tdesc) + " flags " +
                   Flags(param.paramdesc.wParamFlags, kParamFlags) + "\n";
        }
        if (std::find(ids.begin(), ids.end(), desc->memid) == ids.end())
            ids.push_back(desc->memid);
        type.Info()->ReleaseFuncDesc(desc);
    }
    for (MEMBERID id : ids) {
        BSTR names[64] = {};
        UINT count = 0;
        Check(type.Info()->GetNames(id, names, 64, &count), "GetNames");
        out += "  names " + std::to_string(id) + ":";
        for (UINT i = 0; i < count; ++i) {
            out += " " + Text(names[i]);
            SysFreeString(names[i]);
        }
        out += "\n";
    }
}

void ListInterface(const TypeListing& type, std::string& out)
{
    out += "type " + type.Name() + " interface " + GuidText(type.Attr().guid) + " flags " +
           Flags(type.Attr().wTypeFlags, kTypeFlags) + " slots " +
           std::to_string(type.Attr().cbSizeVft / sizeof(void*)) + type.Doc() + "\n";
    for (UINT i = 0; i < type.Attr().cImplTypes; ++i)
        out += "  implements " + type.ImplementedName(i) + "\n";
    ListFunctions(type, out);
}

void ListCoclass(const TypeListing& type, std::string& out)
{
    out += "type " + type.Name() + " coclass " + GuidText(type.Attr().guid) + " flags " +
           Flags(type.Attr().wTypeFlags, kTypeFlags) + type.Doc() + "\n";
    for (UINT i = 0; i < type.Attr().cImplTypes; ++i) {
        INT flags = 0;
        Check(type.Info()->GetImplTypeFlags(i, &flags), "GetImplTypeFlags");
        out += "  implements " + type.ImplementedName(i) + " flags " +
               Flags(static_cast<unsigned>(flags), kImplTypeFlags) + "\n";
    }
}

// A dual interface is listed by its vtable view, as its definition describes it.
void ListType(ITypeInfo* info, std::string& out)
{
    const TypeListing type(info);
    const TYPEATTR& attr = type.Attr();
    if (attr.typekind == TKIND_COCLASS)
        return ListCoclass(type, out);
    if (attr.typekind == TKIND_DISPATCH && (attr.wTypeFlags & TYPEFLAG_FDUAL)) {
        HREFTYPE ref = 0;
        ITypeInfo* vtable = nullptr;
        Check(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), "GetRefTypeOfImplType(-1)");
        Check(info->GetRefTypeInfo(ref, &vtable), "GetRefTypeInfo");
        const TypeListing view(vtable);
        vtable->Release();
        return ListInterface(view, out);
    }
    if (attr.typekind != TKIND_INTERFACE)
        throw std::runtime_error("type " + type.Name() + " is of kind " + std::to_string(attr.typekind));
    ListInterface(type, out);
}

}  // namespace

std::string TypeLibraryListing(ITypeLib* library)
{
    TLIBATTR* attr = nullptr;
    Check(library->GetLibAttr(&attr), "GetLibAttr");
    const std::string head = GuidText(attr->guid) + " version " + std::to_string(attr->wMajorVerNum) + "." +
                             std::to_string(attr->wMinorVerNum) + " lcid " + std::to_string(attr->lcid) +
                             " flags " + Flags(attr->wLibFlags, kLibFlags);
    library->ReleaseTLibAttr(attr);
    Bstr name;
    Bstr doc;
    Check(library->GetDocumentation(-1, &name, &doc, nullptr, nullptr), "GetDocumentation");
    std::string out = "library " + name.Text() + " " + head + Quoted(doc) + "\n";
    for (UINT index = 0; index < library->GetTypeInfoCount(); ++index) {
        ITypeInfo* info = nullptr;
        Check(library->GetTypeInfo(index, &info), "GetTypeInfo");
        try {
            ListType(info, out);
        } catch (...) {
            info->Release();
            throw;
        }
        info->Release();
    }
    return out;
}
