#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <functional>

// Takes files dragged onto a window as Explorer offers them (CF_HDROP), through OLE rather
// than WM_DROPFILES, which says nothing until the drop: OLE also tells when files come over
// the window and when they leave it, so that the window can light up meanwhile.
// Registered for the window's lifetime: it is no heap object, and Release never deletes it;
// RevokeDragDrop drops OLE's hold before the window, and with it this object, ends.
class drop_target final : public IDropTarget {
public:
    // over(true) once files come over the window, over(false) once they leave it or are
    // dropped; dropped(files) with the drop, whose handle stays OLE's.
    drop_target(std::function<void(bool)> over, std::function<void(HDROP)> dropped);
    drop_target(const drop_target&) = delete;
    drop_target& operator=(const drop_target&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

private:
    // Copy when files are offered and copying is allowed; nothing else.
    DWORD effect_for(DWORD allowed) const;
    void leave();

    std::function<void(bool)> over;
    std::function<void(HDROP)> dropped;
    ULONG references = 0;
    bool files_offered = false; // by the drag now over the window
};
