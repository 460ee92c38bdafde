#pragma once
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <vector>

// Plays the user's hand in OLE's drag loop, headless. DoDragDrop runs synchronously on the
// calling thread and asks the drop source, on every mouse message and on its own timer, whether
// to go on. This source answers by moving the cursor (SetCursorPos) along a list of screen points,
// a few calls per point, and finally drops or cancels. OLE finds the window under the cursor of
// the message it is handling, so the cursor moved on one call is seen from the next call on.
//
// It records the effect that OLE reports to GiveFeedback for each point, which is what decides
// the cursor the user would see there (copy, move, no-drop).
class ScriptedDropSource final : public IDropSource {
public:
    enum Ending { kDrop, kCancel };
    // Recorded for a point that received no feedback.
    static constexpr DWORD kNoFeedback = 0xFFFFFFFF;

    // At least two calls per point, so that every point sees a call after the cursor arrived.
    explicit ScriptedDropSource(std::vector<POINT> points, Ending ending = kDrop,
                                int callsPerPoint = 2);
    ScriptedDropSource(const ScriptedDropSource&) = delete;
    ScriptedDropSource& operator=(const ScriptedDropSource&) = delete;

    // Counted, never freed: the object belongs to its creator.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

    // Per point, the last effect given while the cursor stood there.
    const std::vector<DWORD>& Feedback() const { return feedback_; }

    // Called after each feedback with the index of the point under the cursor, while the drag
    // still hovers there: a test looks at the target window's state in the middle of the drag.
    void SetProbe(std::function<void(int point)> probe) { probe_ = std::move(probe); }

    // Puts the cursor on the first point and runs DoDragDrop with this source. `heldKeys` (MK_*
    // bits) are down in the thread's keyboard state for the drag, which is where OLE reads the
    // key state that it passes to the drop target.
    HRESULT Run(IDataObject* data, DWORD allowedEffects, DWORD* effect, DWORD heldKeys = 0);

private:
    std::vector<POINT> points_;
    Ending ending_;
    int callsPerPoint_;
    int calls_ = 0;
    int observed_ = 0;  // the point under the cursor during the current call
    std::vector<DWORD> feedback_;
    std::function<void(int)> probe_;
    LONG refs_ = 1;
};

// "copy", "move", "link", "none", or the number, for messages.
const char* EffectName(DWORD effect);
