#include "settings/IncrustRec.h"

namespace vistrel::settings {

const TincrustRec& defaultIncrustRec() {
  static const TincrustRec record;
  return record;
}

}  // namespace vistrel::settings
