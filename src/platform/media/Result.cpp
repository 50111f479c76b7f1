#include "platform/media/Result.h"

namespace vistrel::platform::media {

QString AMGetErrorText(HRESULT hr, int maxChars) {
  const char* text = nullptr;
  switch (hr) {
    case S_OK: text = "No error."; break;
    case S_FALSE: text = "The operation succeeded with nothing more to do."; break;
    case E_NOTIMPL: text = "Not implemented."; break;
    case E_NOINTERFACE: text = "No such interface supported."; break;
    case E_POINTER: text = "Invalid pointer."; break;
    case E_FAIL: text = "Unspecified error."; break;
    case E_UNEXPECTED: text = "Catastrophic failure."; break;
    case E_OUTOFMEMORY: text = "Out of memory."; break;
    case E_INVALIDARG: text = "The parameter is incorrect."; break;
    case REGDB_E_CLASSNOTREG: text = "Class not registered."; break;
    case VFW_S_NO_MORE_ITEMS: text = "The end of the list has been reached."; break;
    case VFW_S_DUPLICATE_NAME: text = "The filter was added under a modified name."; break;
    case VFW_S_STATE_INTERMEDIATE: text = "The graph is still changing state."; break;
    case VFW_S_NO_STOP_TIME: text = "The sample has a start time but no stop time."; break;
    case VFW_E_NEED_OWNER: text = "The pin belongs to no filter."; break;
    case VFW_E_SIZENOTSET: text = "The buffer sizes of the allocator were never set."; break;
    case VFW_E_NO_CLOCK: text = "The graph has no reference clock."; break;
    case VFW_E_NOT_FOUND: text = "The object asked for was not found."; break;
    case VFW_E_DUPLICATE_NAME: text = "A filter of that name is already in the graph."; break;
    case VFW_E_INVALIDMEDIATYPE: text = "The specified media type is invalid."; break;
    case VFW_E_NO_ACCEPTABLE_TYPES: text = "There is no common media type between these pins."; break;
    case VFW_E_INVALID_DIRECTION: text = "The pins have the same direction."; break;
    case VFW_E_NOT_CONNECTED:
      text = "The operation cannot be performed because the pins are not connected.";
      break;
    case VFW_E_NO_ALLOCATOR: text = "No sample buffer allocator is available."; break;
    case VFW_E_NOT_COMMITTED: text = "The allocator has not been committed."; break;
    case VFW_E_ALREADY_CONNECTED: text = "The pin is already connected."; break;
    case VFW_E_BUFFER_OVERFLOW: text = "The buffer is not big enough."; break;
    case VFW_E_WRONG_STATE: text = "The operation cannot be performed in the current filter state."; break;
    case VFW_E_TYPE_NOT_ACCEPTED: text = "This pin cannot use the supplied media type."; break;
    case VFW_E_SAMPLE_TIME_NOT_SET: text = "No time stamp has been set for this sample."; break;
    case VFW_E_NOT_IN_GRAPH: text = "The filter is not in the filter graph."; break;
    case VFW_E_CANNOT_CONNECT:
      text = "No combination of intermediate filters could be found to make the connection.";
      break;
    case VFW_E_NOT_STOPPED:
      text = "The operation could not be performed because the filter graph is not stopped.";
      break;
    case VFW_E_TIMEOUT: text = "The operation timed out."; break;
    case VFW_E_DEVICE_LOST: text = "The device has been removed."; break;
    default: break;
  }
  QString s =
      text ? QString::fromLatin1(text)
           : QStringLiteral("Unknown error 0x%1.").arg(static_cast<uint32_t>(hr), 8, 16, QLatin1Char('0'));
  // A negative size is an empty buffer, not an unlimited one.
  return maxChars <= 0 ? QString() : s.left(maxChars);
}

}  // namespace vistrel::platform::media
