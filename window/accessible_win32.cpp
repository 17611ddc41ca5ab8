#include "accessible_win32.h"

#include <oleacc.h>

#include "dll_search_win32.h"

namespace {

// The functions of the accessibility library, and the allocator of the texts its clients free.
// Bound at run time: imported, the libraries would be loaded at every start.
struct AccessibilityLibrary {
    HRESULT(WINAPI* createStandard)(HWND, LONG, REFIID, void**) = nullptr;
    LRESULT(WINAPI* resultFromObject)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
    HRESULT(WINAPI* objectFromWindow)(HWND, DWORD, REFIID, void**) = nullptr;
    BSTR(WINAPI* allocString)(const OLECHAR*, UINT) = nullptr;
};

template <typename Function>
bool Bind(HMODULE library, const char* name, Function& function)
{
    function = library ? FunctionOf<Function>(GetProcAddress(library, name)) : nullptr;
    return function != nullptr;
}

bool Load(AccessibilityLibrary& library, Kernel32Lookup lookup)
{
    HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll", lookup), oleaut32 = LoadSystemLibrary(L"oleaut32.dll", lookup);
    return Bind(oleacc, "CreateStdAccessibleObject", library.createStandard) &&
           Bind(oleacc, "LresultFromObject", library.resultFromObject) &&
           Bind(oleacc, "AccessibleObjectFromWindow", library.objectFromWindow) &&
           Bind(oleaut32, "SysAllocStringLen", library.allocString);
}

struct ComReleaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
using UniqueAccessibleObject = UniqueHandle<IAccessible*, ComReleaser>;

constexpr long kPromptChild = 1;  // the buttons follow it, from 2 on, in the window's order

// A number as a VARIANT: a child's number, a role, a state.
VARIANT Long(long value)
{
    VARIANT number{};
    number.vt = VT_I4;
    number.lVal = value;
    return number;
}

// The text properties, each answered by one routine.
enum class Text { Name, Value, Description, Help, KeyboardShortcut, DefaultAction };

HRESULT TextOf(IAccessible* object, Text text, const VARIANT& child, BSTR* out)
{
    switch (text) {
    case Text::Name: return object->get_accName(child, out);
    case Text::Value: return object->get_accValue(child, out);
    case Text::Description: return object->get_accDescription(child, out);
    case Text::Help: return object->get_accHelp(child, out);
    case Text::KeyboardShortcut: return object->get_accKeyboardShortcut(child, out);
    case Text::DefaultAction: return object->get_accDefaultAction(child, out);
    }
    return E_INVALIDARG;
}

}  // namespace

class ClientAccessible final : public IAccessible {
public:
    ClientAccessible(HWND window, std::wstring_view prompt, const RECT& promptRect, const AccessibilityLibrary& library,
                     IAccessible* standard)
        : window_(window), prompt_(prompt), promptRect_(promptRect), library_(library), standard_(standard)
    {
    }
    ClientAccessible(const ClientAccessible&) = delete;
    ClientAccessible& operator=(const ClientAccessible&) = delete;

    void Disconnect()
    {
        if (!standard_)
            return;
        CoDisconnectObject(static_cast<IAccessible*>(this), 0);  // clients in other processes
        standard_->Release();
        standard_ = nullptr;
        window_ = nullptr;
    }
    LRESULT Result(WPARAM flags) { return library_.resultFromObject(__uuidof(IAccessible), flags, static_cast<IAccessible*>(this)); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (!object)
            return E_POINTER;
        const bool mine = id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible);
        *object = mine ? static_cast<IAccessible*>(this) : nullptr;
        if (!mine)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients call this object through its own methods, never by name.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_INVALIDARG;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (!parent)
            return E_INVALIDARG;
        *parent = nullptr;
        return standard_ ? standard_->get_accParent(parent) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        if (!count)
            return E_INVALIDARG;
        *count = standard_ ? kPromptChild + ButtonCount() : 0;
        return standard_ ? S_OK : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        if (!object)
            return E_INVALIDARG;
        *object = nullptr;
        HWND button = nullptr;
        switch (Resolve(child, button)) {
        case Target::Self: return standard_->get_accChild(child, object);
        case Target::Prompt: return S_FALSE;  // a simple element, with no object of its own
        case Target::Button: return library_.objectFromWindow(button, OBJID_WINDOW, __uuidof(IDispatch), reinterpret_cast<void**>(object));
        case Target::Gone: return RPC_E_DISCONNECTED;
        default: return E_INVALIDARG;
        }
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override { return TextProperty(Text::Name, child, name); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override { return TextProperty(Text::Value, child, value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        return TextProperty(Text::Description, child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return TextProperty(Text::Help, child, help); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return TextProperty(Text::KeyboardShortcut, child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return TextProperty(Text::DefaultAction, child, action);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!role)
            return E_INVALIDARG;
        role->vt = VT_EMPTY;
        HWND button = nullptr;
        switch (Resolve(child, button)) {
        case Target::Self: *role = Long(ROLE_SYSTEM_DIALOG); return S_OK;
        case Target::Prompt: *role = Long(ROLE_SYSTEM_STATICTEXT); return S_OK;
        case Target::Button:
            return AskButton(button, [&](IAccessible* object, const VARIANT& self) {
                return object->get_accRole(self, role);
            });
        case Target::Gone: return RPC_E_DISCONNECTED;
        default: return E_INVALIDARG;
        }
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        if (!state)
            return E_INVALIDARG;
        state->vt = VT_EMPTY;
        HWND button = nullptr;
        switch (Resolve(child, button)) {
        case Target::Self: return standard_->get_accState(child, state);
        case Target::Prompt: *state = Long(STATE_SYSTEM_READONLY); return S_OK;
        case Target::Button:
            return AskButton(button, [&](IAccessible* object, const VARIANT& self) {
                return object->get_accState(self, state);
            });
        case Target::Gone: return RPC_E_DISCONNECTED;
        default: return E_INVALIDARG;
        }
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        if (!file || !topic)
            return E_INVALIDARG;
        *file = nullptr;
        *topic = 0;
        HWND button = nullptr;
        switch (Resolve(child, button)) {
        case Target::Self: return standard_->get_accHelpTopic(file, child, topic);
        case Target::Prompt: return S_FALSE;
        case Target::Button:
            return AskButton(button, [&](IAccessible* object, const VARIANT& self) {
                return object->get_accHelpTopic(file, self, topic);
            });
        case Target::Gone: return RPC_E_DISCONNECTED;
        default: return E_INVALIDARG;
        }
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        if (!focus)
            return E_INVALIDARG;
        focus->vt = VT_EMPTY;
        return standard_ ? standard_->get_accFocus(focus) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        if (!selection)
            return E_INVALIDARG;
        selection->vt = VT_EMPTY;
        return standard_ ? standard_->get_accSelection(selection) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        HWND button = nullptr;
        switch (Resolve(child, button)) {
        case Target::Self: return standard_->accSelect(flags, child);
        case Target::Prompt: return DISP_E_MEMBERNOTFOUND;  // it never takes the focus
        case Target::Button:
            return AskButton(button, [&](IAccessible* object, const VARIANT& self) {
                return object->accSelect(flags, self);
            });
        case Target::Gone: return RPC_E_DISCONNECTED;
        default: return E_INVALIDARG;
        }
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        if (!left || !top || !width || !height)
            return E_INVALIDARG;
        *left = *top = *width = *height = 0;
        HWND button = nullptr;
        switch (Resolve(child, button)) {
        case Target::Self: return standard_->accLocation(left, top, width, height, child);
        case Target::Prompt: {
            // The prompt keeps its place in the client area however the window moves or grows.
            POINT corner{promptRect_.left, promptRect_.top};
            ClientToScreen(window_, &corner);
            *left = corner.x, *top = corner.y;
            *width = promptRect_.right - promptRect_.left, *height = promptRect_.bottom - promptRect_.top;
            return S_OK;
        }
        case Target::Button:
            return AskButton(button, [&](IAccessible* object, const VARIANT& self) {
                return object->accLocation(left, top, width, height, self);
            });
        case Target::Gone: return RPC_E_DISCONNECTED;
        default: return E_INVALIDARG;
        }
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        if (!end)
            return E_INVALIDARG;
        end->vt = VT_EMPTY;
        HWND button = nullptr;
        const Target from = Resolve(start, button);
        if (from == Target::Gone || from == Target::Invalid)
            return from == Target::Gone ? RPC_E_DISCONNECTED : E_INVALIDARG;
        const long count = kPromptChild + ButtonCount();
        long to = 0;
        if (from == Target::Self && direction == NAVDIR_FIRSTCHILD)
            to = kPromptChild;
        else if (from == Target::Self && direction == NAVDIR_LASTCHILD)
            to = count;
        else if (from == Target::Self)
            return standard_->accNavigate(direction, start, end);  // among the window's siblings: the system's
        else if (direction == NAVDIR_NEXT || direction == NAVDIR_PREVIOUS)
            to = start.lVal + (direction == NAVDIR_NEXT ? 1 : -1);
        else
            return direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD ? S_FALSE : DISP_E_MEMBERNOTFOUND;
        return to >= kPromptChild && to <= count ? Child(to, end) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override
    {
        if (!child)
            return E_INVALIDARG;
        child->vt = VT_EMPTY;
        if (!standard_)
            return RPC_E_DISCONNECTED;
        POINT at{x, y};
        RECT client;
        GetClientRect(window_, &client);
        ScreenToClient(window_, &at);
        if (!PtInRect(&client, at))
            return S_FALSE;
        if (PtInRect(&promptRect_, at))
            return Child(kPromptChild, child);
        return standard_->accHitTest(x, y, child);  // a button, or the client area itself
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        HWND button = nullptr;
        switch (Resolve(child, button)) {
        case Target::Self: return standard_->accDoDefaultAction(child);
        case Target::Prompt: return DISP_E_MEMBERNOTFOUND;
        case Target::Button:
            return AskButton(button, [&](IAccessible* object, const VARIANT& self) {
                return object->accDoDefaultAction(self);
            });
        case Target::Gone: return RPC_E_DISCONNECTED;
        default: return E_INVALIDARG;
        }
    }
    // Setting a name or a value is no longer part of the interface.
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    enum class Target { Self, Prompt, Button, Invalid, Gone };

    Target Resolve(const VARIANT& child, HWND& button) const
    {
        button = nullptr;
        if (!standard_)
            return Target::Gone;
        if (child.vt != VT_I4)
            return Target::Invalid;
        if (child.lVal == CHILDID_SELF)
            return Target::Self;
        if (child.lVal == kPromptChild)
            return Target::Prompt;
        button = ChildWindow(child.lVal - kPromptChild - 1);
        return button ? Target::Button : Target::Invalid;
    }

    // The buttons in the window's order, which is also the order of the tab stops.
    HWND ChildWindow(long index) const
    {
        HWND child = index >= 0 ? GetWindow(window_, GW_CHILD) : nullptr;
        for (long i = 0; child && i < index; ++i)
            child = GetWindow(child, GW_HWNDNEXT);
        return child;
    }
    long ButtonCount() const
    {
        long count = 0;
        for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            ++count;
        return count;
    }

    // A button's questions go to the object of its window, about itself.
    template <typename Question>
    HRESULT AskButton(HWND button, Question question) const
    {
        IAccessible* found = nullptr;
        library_.objectFromWindow(button, OBJID_WINDOW, __uuidof(IAccessible), reinterpret_cast<void**>(&found));
        const UniqueAccessibleObject object(found);
        return object ? question(object.get(), Long(CHILDID_SELF)) : E_FAIL;
    }

    // A child as the standard object hands one out: the prompt by its number, a button as the
    // object of its window.
    HRESULT Child(long id, VARIANT* out) const
    {
        if (id == kPromptChild) {
            *out = Long(id);
            return S_OK;
        }
        IDispatch* object = nullptr;
        const HRESULT result = library_.objectFromWindow(ChildWindow(id - kPromptChild - 1), OBJID_WINDOW,
                                                         __uuidof(IDispatch), reinterpret_cast<void**>(&object));
        if (SUCCEEDED(result) && object) {
            out->vt = VT_DISPATCH;
            out->pdispVal = object;
        }
        return result;
    }

    HRESULT Answer(const wchar_t* text, UINT length, BSTR* out) const
    {
        *out = library_.allocString(text, length);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    // The client area is named by the window's caption and described by the prompt; the prompt is
    // named by its text and has nothing else to say; the rest is the system's.
    HRESULT TextProperty(Text text, const VARIANT& child, BSTR* out) const
    {
        if (!out)
            return E_INVALIDARG;
        *out = nullptr;
        HWND button = nullptr;
        switch (Resolve(child, button)) {
        case Target::Self:
            if (text == Text::Name) {
                wchar_t caption[256];
                return Answer(caption, static_cast<UINT>(GetWindowTextW(window_, caption, static_cast<int>(std::size(caption)))), out);
            }
            if (text == Text::Description)
                return Answer(prompt_.data(), static_cast<UINT>(prompt_.size()), out);
            return TextOf(standard_, text, child, out);
        case Target::Prompt:
            if (text == Text::Name)
                return Answer(prompt_.data(), static_cast<UINT>(prompt_.size()), out);
            return text == Text::Value ? DISP_E_MEMBERNOTFOUND : S_FALSE;
        case Target::Button:
            return AskButton(button, [&](IAccessible* object, const VARIANT& self) {
                return TextOf(object, text, self, out);
            });
        case Target::Gone: return RPC_E_DISCONNECTED;
        default: return E_INVALIDARG;
        }
    }

    LONG references_ = 1;
    HWND window_;
    std::wstring_view prompt_;  // the form's own text, which outlives every window
    RECT promptRect_;
    AccessibilityLibrary library_;
    IAccessible* standard_;  // the system's object for the client area; null once disconnected
};

void DisconnectAccessible::operator()(ClientAccessible* object) const
{
    object->Disconnect();
    object->Release();
}

UniqueAccessible CreateClientAccessible(HWND window, std::wstring_view prompt, const RECT& promptRect, Kernel32Lookup lookup)
{
    AccessibilityLibrary library;
    IAccessible* standard = nullptr;
    if (!Load(library, lookup) ||
        FAILED(library.createStandard(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard))) || !standard)
        return {};
    return UniqueAccessible(new ClientAccessible(window, prompt, promptRect, library, standard));
}

LRESULT AccessibleResult(ClientAccessible* object, WPARAM flags) { return object->Result(flags); }
