// The data units' create operations: the type block read, then the unit made from it.
#include "ui/data_units/data_units.h"

namespace memo::ui {

std::unique_ptr<Unit> CreateGridUnit(const UnitCreation& creation) {
  GridBlock block;
  if (!creation.record || ReadGridBlock(creation.record->type_block, &block) != BlockStatus::kOk) {
    return nullptr;
  }
  return CreateGridUnitFromBlock(creation, block);
}

std::unique_ptr<Unit> CreateDataSrcUnit(const UnitCreation& creation) {
  DataSrcBlock block;
  if (!creation.record ||
      ReadDataSrcBlock(creation.record->type_block, &block) != BlockStatus::kOk) {
    return nullptr;
  }
  return CreateDataSrcUnitFromBlock(creation, block);
}

std::unique_ptr<Unit> CreateDBProviderUnit(const UnitCreation& creation) {
  DBProviderBlock block;
  if (!creation.record ||
      ReadDBProviderBlock(creation.record->type_block, &block) != BlockStatus::kOk) {
    return nullptr;
  }
  return CreateDBProviderUnitFromBlock(creation, block);
}

}  // namespace memo::ui
