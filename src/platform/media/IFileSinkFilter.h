#pragma once

#include <QString>
#include <optional>

#include "platform/media/MediaType.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

class IFileSinkFilter : public virtual Unknown {
 public:
  virtual HRESULT SetFileName(const QString& fileName, const MediaType* type) = 0;
  // E_FAIL-free: an empty name when none was set.
  virtual HRESULT GetCurFile(QString& fileName, std::optional<MediaType>& type) = 0;
};

}  // namespace vistrel::platform::media
