#include "manifest/manifest_records.h"

namespace kest {

void ComponentListDeleter::operator()(ComponentRecord* first) const {
  while (first != nullptr) {
    ComponentRecord* next = first->next;
    delete first;
    first = next;
  }
}

void DependencyListDeleter::operator()(DependencyRecord* first) const {
  while (first != nullptr) {
    DependencyRecord* next = first->next;
    delete first;
    first = next;
  }
}

}  // namespace kest
