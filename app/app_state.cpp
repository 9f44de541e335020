#include "app/app_state.h"

namespace kestrun::app {

AppState& App() {
  static AppState state;
  return state;
}

}  // namespace kestrun::app
