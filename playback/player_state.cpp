#include "playback/player_state.h"

namespace kestrun::playback {

PlayerState& Player() {
  static PlayerState state;
  return state;
}

}  // namespace kestrun::playback
