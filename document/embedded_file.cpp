#include "document/embedded_file.h"

namespace ov {

constinit const SerialClass imbedded_file::kClass{"imbedded_file", 1, false,
                                                  &MakeObject<imbedded_file>, nullptr};

void imbedded_file::Serialize(FieldWalker& walker) {
  walker.String("name", name_);
  walker.SizedBytes("contents", contents_, CountForm::kInt32);
}

}  // namespace ov
