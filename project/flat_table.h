#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Values by 64-bit key (a hash), with open addressing and linear probing over one flat array: a
// lookup costs one or two cache lines however many values it holds, and nothing is allocated per
// value. Keys may repeat; a value-initialised Value marks an empty slot and is never stored.
// Removal shifts the following slots back, so there are no tombstones.
template <class Value>
class FlatTable {
public:
    template <class Match>
    Value Find(uint64_t key, Match match) const
    {
        if (slots_.empty())
            return Value();
        for (size_t i = key & mask_; slots_[i].value != Value(); i = (i + 1) & mask_) {
            if (slots_[i].key == key && match(slots_[i].value))
                return slots_[i].value;
        }
        return Value();
    }

    void Insert(uint64_t key, Value value)
    {
        if ((count_ + 1) * 2 > slots_.size())
            Grow();
        size_t i = key & mask_;
        while (slots_[i].value != Value())
            i = (i + 1) & mask_;
        slots_[i] = {key, value};
        ++count_;
    }

    void Remove(uint64_t key, const Value& value)
    {
        if (slots_.empty())
            return;
        size_t i = key & mask_;
        while (slots_[i].value != value) {
            if (slots_[i].value == Value())
                return;
            i = (i + 1) & mask_;
        }
        // Close the gap: a later slot moves back into it unless its home lies between the gap
        // and itself (cyclically).
        for (size_t j = (i + 1) & mask_; slots_[j].value != Value(); j = (j + 1) & mask_) {
            size_t home = slots_[j].key & mask_;
            bool staysAfterGap = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (!staysAfterGap) {
                slots_[i] = slots_[j];
                i = j;
            }
        }
        slots_[i] = {};
        --count_;
    }

private:
    struct Slot {
        uint64_t key = 0;
        Value value = Value();
    };

    void Grow()
    {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.resize(old.empty() ? 8 : old.size() * 2);
        mask_ = slots_.size() - 1;
        count_ = 0;
        for (const Slot& slot : old) {
            if (slot.value != Value())
                Insert(slot.key, slot.value);
        }
    }

    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t count_ = 0;
};
