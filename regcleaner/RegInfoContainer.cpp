#include "regcleaner/RegInfoContainer.h"

void RegInfoContainer::clear() {
  for (std::string& field : m_fields) field.clear();
}
