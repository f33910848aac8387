#include "drop_target.h"

#include <utility>

namespace {

FORMATETC files_format()
{
    return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

} // namespace

drop_target::drop_target(std::function<void(bool)> over, std::function<void(HDROP)> dropped)
    : over(std::move(over)), dropped(std::move(dropped))
{
}

HRESULT drop_target::QueryInterface(REFIID id, void** object)
{
    if (id == IID_IUnknown || id == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG drop_target::AddRef()
{
    return ++references;
}

ULONG drop_target::Release()
{
    return --references;
}

DWORD drop_target::effect_for(DWORD allowed) const
{
    return files_offered && (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

void drop_target::leave()
{
    if (files_offered)
        over(false);
    files_offered = false;
}

HRESULT drop_target::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    FORMATETC format = files_format();
    files_offered = data && data->QueryGetData(&format) == S_OK;
    *effect = effect_for(*effect);
    if (files_offered)
        over(true);
    return S_OK;
}

HRESULT drop_target::DragOver(DWORD, POINTL, DWORD* effect)
{
    *effect = effect_for(*effect);
    return S_OK;
}

HRESULT drop_target::DragLeave()
{
    leave();
    return S_OK;
}

HRESULT drop_target::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    *effect = effect_for(*effect);
    leave();
    FORMATETC format = files_format();
    STGMEDIUM medium{};
    if (*effect == DROPEFFECT_NONE || !data || data->GetData(&format, &medium) != S_OK) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    dropped(static_cast<HDROP>(medium.hGlobal));
    ReleaseStgMedium(&medium);
    return S_OK;
}
