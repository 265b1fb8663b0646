// nwstate: initialising and clearing the front end's window state.
#include "frontend/nwstate.h"

void nw_state_init(NwState* s) {
  s->OptFlag.assign(NW_SLOTS, std::string());
  s->OptVal.assign(NW_SLOTS, std::string());
  s->SelLevels.assign(NW_LEVEL_ENTRIES, std::string());
  s->OutLevel.clear();
  s->CurFrame = 1;
  s->NumFrames = 2;
  s->EleSlots.assign(NW_ELE_SLOTS, std::string());
  s->Weighting.clear();
}

void nw_state_clear(NwState* s) {
  s->OutLevel = "0";
  s->SelLevels.assign(NW_LEVEL_ENTRIES, std::string());
  s->OptFlag.assign(NW_SLOTS, std::string());
  s->OptVal.assign(NW_SLOTS, std::string());
}

void nw_slot_set(NwState* s, int slot, const std::string& flag, const std::string& val) {
  if (slot < 0 || slot >= NW_SLOTS) return;
  s->OptFlag[slot] = flag;
  s->OptVal[slot] = val;
}

void nw_slot_clear(NwState* s, int slot) { nw_slot_set(s, slot, std::string(), std::string()); }

std::string nw_version_text() {
  return std::to_string(NW_VERSION_MAJOR) + "." + std::to_string(NW_VERSION_MINOR) + "." +
         std::to_string(NW_VERSION_REVISION);
}

std::string nw_version_label() { return "ver " + nw_version_text(); }
