#pragma once
// Plays the user's hand in OLE's drag loop, headless. DoDragDrop runs synchronously on the
// calling thread and asks the drop source, on every mouse message and on its own timer, whether
// to go on. This source answers by moving the cursor (SetCursorPos) along screen points, two calls
// per point, and finally drops. OLE finds the window under the cursor of the message it is
// handling, so the cursor moved on one call is seen from the next call on. It records the effect
// OLE reports to GiveFeedback at each point: the cursor the user would see there.
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <utility>
#include <vector>

class ScriptedDropSource final : public IDropSource {
public:
    static constexpr DWORD kNoFeedback = 0xFFFFFFFF;  // for a point that received none
    explicit ScriptedDropSource(std::vector<POINT> points)
        : points_(std::move(points)), feedback_(points_.size(), kNoFeedback) {}

    // Counted, never freed: the object belongs to its creator.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&refs_); }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

    // Per point, the last effect given while the cursor stood there.
    const std::vector<DWORD>& Feedback() const { return feedback_; }
    // Called after each feedback with the point under the cursor, while the drag still hovers.
    void SetProbe(std::function<void(int point)> probe) { probe_ = std::move(probe); }
    // Puts the cursor on the first point and runs DoDragDrop. `heldKeys` (MK_*) are down in the
    // thread's keyboard state, where OLE reads the key state it passes to the drop target.
    HRESULT Run(IDataObject* data, DWORD allowedEffects, DWORD* effect, DWORD heldKeys = 0);

private:
    std::vector<POINT> points_;
    int calls_ = 0, observed_ = 0;  // observed_: the point under the cursor during this call
    std::vector<DWORD> feedback_;
    std::function<void(int)> probe_;
    LONG refs_ = 1;
};
