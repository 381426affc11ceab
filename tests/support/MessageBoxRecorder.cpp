#include "support/MessageBoxRecorder.h"

namespace corvid::test {

MessageBoxRecorder::MessageBoxRecorder()
    : scope_([this](QWidget* parent, const QString& text) {
          texts_ << text;
          if (onShow_) onShow_(parent, text);
      }) {}

}  // namespace corvid::test
