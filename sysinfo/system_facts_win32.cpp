#include "sysinfo/system_facts_win32.h"

// windows.h first: the COM headers rely on what it declares.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <string>

#include "device/windows_text.h"

namespace raid {
namespace {

// WbemAdministrativeLocator {CB8555CC-9128-11D1-AD9B-00C04FD8FDFF}
constexpr CLSID kAdministrativeLocator = {
    0xCB8555CC, 0x9128, 0x11D1, {0xAD, 0x9B, 0x00, 0xC0, 0x4F, 0xD8, 0xFD, 0xFF}};
constexpr DWORD kLocatorContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;  // 5
constexpr long kQueryFlags = 0x10;                                             // return immediately
constexpr long kNameFlags = 0x70;

// Releases on scope exit, so every early return releases what was created so
// far, in reverse order of creation.
template <typename T>
class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_ != nullptr) {
            p_->Release();
        }
    }
    T** Out() { return &p_; }
    void** OutVoid() { return reinterpret_cast<void**>(&p_); }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }

  private:
    T* p_ = nullptr;
};

class Bstr {
  public:
    explicit Bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR get() const { return b_; }

  private:
    BSTR b_;
};

class Variant {
  public:
    Variant() { VariantInit(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v); }
    VARIANT v;
};

std::string Utf8(const wchar_t* text, UINT length) {
    return text == nullptr ? std::string() : raid::Utf8(std::wstring_view(text, length));
}

// COM on the calling thread for one query: the apartment the thread is in
// already, or the multithreaded one joined and left again, so that every
// thread may query and none is left initialised behind its owner's back.
class ThreadCom {
  public:
    ThreadCom() {
        const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        joined_ = SUCCEEDED(init);  // S_FALSE too: it must be balanced as well
        usable_ = joined_ || init == RPC_E_CHANGED_MODE;
    }
    ~ThreadCom() {
        if (joined_) {
            CoUninitialize();
        }
    }
    ThreadCom(const ThreadCom&) = delete;
    ThreadCom& operator=(const ThreadCom&) = delete;

    bool usable() const { return usable_; }

  private:
    bool joined_ = false;
    bool usable_ = false;
};

// The runtime's own conversion of a scalar to text; an empty or null value, or
// one that has no text form, gives empty text.
std::string ScalarText(VARIANT& value) {
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) {
        return {};
    }
    Variant text;
    if (FAILED(VariantChangeType(&text.v, &value, VARIANT_ALPHABOOL, VT_BSTR))) {
        return {};
    }
    return Utf8(text.v.bstrVal, SysStringLen(text.v.bstrVal));
}

std::vector<std::string> ArrayTexts(SAFEARRAY* array, VARTYPE elementType) {
    std::vector<std::string> texts;
    LONG lower = 0;
    LONG upper = -1;
    if (array == nullptr || SafeArrayGetDim(array) != 1 ||
        FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper))) {
        return texts;
    }
    // Elements other than variants are copied into the value part of a
    // variant, which holds at most eight bytes.
    const bool inVariant = elementType == VT_VARIANT;
    const bool fits = inVariant || (elementType != VT_DECIMAL && elementType != VT_RECORD &&
                                    SafeArrayGetElemsize(array) <= sizeof(LONGLONG));
    for (LONG i = lower; i <= upper; ++i) {
        Variant element;
        bool ok = false;
        if (inVariant) {
            ok = SUCCEEDED(SafeArrayGetElement(array, &i, &element.v));
        } else if (fits && SUCCEEDED(SafeArrayGetElement(array, &i, &element.v.llVal))) {
            element.v.vt = elementType;
            ok = true;
        }
        texts.push_back(ok ? ScalarText(element.v) : std::string{});
    }
    return texts;
}

FactValue ToFactValue(VARIANT& value) {
    if ((value.vt & VT_ARRAY) != 0 && (value.vt & VT_BYREF) == 0) {
        return ArrayTexts(value.parray, static_cast<VARTYPE>(value.vt & VT_TYPEMASK));
    }
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) {
        return std::monostate{};
    }
    return ScalarText(value);
}

FactObject ReadObject(IWbemClassObject& object) {
    FactObject properties;
    SAFEARRAY* names = nullptr;
    if (FAILED(object.GetNames(nullptr, kNameFlags, nullptr, &names)) || names == nullptr) {
        return properties;
    }
    LONG lower = 0;
    LONG upper = -1;
    if (SUCCEEDED(SafeArrayGetLBound(names, 1, &lower)) &&
        SUCCEEDED(SafeArrayGetUBound(names, 1, &upper))) {
        for (LONG i = lower; i <= upper; ++i) {
            BSTR name = nullptr;
            if (FAILED(SafeArrayGetElement(names, &i, &name)) || name == nullptr) {
                continue;
            }
            Variant value;
            if (SUCCEEDED(object.Get(name, 0, &value.v, nullptr, nullptr))) {
                properties.push_back({Utf8(name, SysStringLen(name)), ToFactValue(value.v)});
            }
            SysFreeString(name);
        }
    }
    SafeArrayDestroy(names);
    return properties;
}

}  // namespace

ComSetup InitializeComForWmi(bool& initialized) {
    // S_FALSE (already initialised here) must be balanced too; a thread
    // already in the multithreaded apartment leaves COM usable as it is.
    const HRESULT init = CoInitialize(nullptr);
    initialized = SUCCEEDED(init);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE) {
        return ComSetup::InitializeFailed;
    }
    const HRESULT security =
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    // Too late: the process's security was set before us (once per process),
    // and each query asks for its own level anyway.
    return FAILED(security) && security != RPC_E_TOO_LATE ? ComSetup::SecurityFailed : ComSetup::Ok;
}

WmiSystemFacts::WmiSystemFacts() : setup_(InitializeComForWmi(initialized_)) {}

WmiSystemFacts::~WmiSystemFacts() {
    if (initialized_) {
        CoUninitialize();
    }
}

std::optional<std::vector<FactObject>> WmiSystemFacts::Query(std::string_view className) {
    const ThreadCom com;
    if (!com.usable()) {
        return std::nullopt;
    }
    ComRef<IUnknown> unknown;
    if (FAILED(CoCreateInstance(kAdministrativeLocator, nullptr, kLocatorContext, IID_IUnknown,
                                unknown.OutVoid()))) {
        return std::nullopt;
    }
    // Ask for the locator interface rather than assume the IUnknown is one.
    ComRef<IWbemLocator> locator;
    if (FAILED(unknown->QueryInterface(IID_IWbemLocator, locator.OutVoid()))) {
        return std::nullopt;
    }
    const Bstr nameSpace(L"root\\cimv2");
    const Bstr language(L"WQL");
    const Bstr query((L"Select * from " + Wide(className)).c_str());
    if (nameSpace.get() == nullptr || language.get() == nullptr || query.get() == nullptr) {
        return std::nullopt;
    }
    ComRef<IWbemServices> services;
    if (FAILED(locator->ConnectServer(nameSpace.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                      nullptr, services.Out()))) {
        return std::nullopt;
    }
    // The level the process set up, also where another part of the process
    // set it first or a thread never saw that set-up.
    if (FAILED(CoSetProxyBlanket(&*services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                 EOAC_NONE))) {
        return std::nullopt;
    }
    ComRef<IEnumWbemClassObject> enumerator;
    if (FAILED(services->ExecQuery(language.get(), query.get(), kQueryFlags, nullptr,
                                   enumerator.Out()))) {
        return std::nullopt;
    }
    if (FAILED(enumerator->Reset())) {
        return std::nullopt;
    }
    std::vector<FactObject> objects;
    for (;;) {
        ComRef<IWbemClassObject> object;
        ULONG returned = 0;
        // With an immediate return, errors such as an unknown class show up here.
        const HRESULT next =
            enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.Out(), &returned);
        if (FAILED(next)) {
            return std::nullopt;
        }
        if (returned == 0) {
            break;
        }
        objects.push_back(ReadObject(*object));
    }
    return objects;
}

}  // namespace raid
