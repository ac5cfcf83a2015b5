#include "base/object.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"

namespace qel::base {

namespace {

class TWidget : public TPersistent {
 public:
  const char* ClassName() const noexcept override { return "TWidget"; }
  int Value = 0;

 protected:
  // A widget knows how to copy itself into a gadget, and nothing else.
  void AssignTo(TPersistent& target) const override;
};

class TGadget : public TPersistent {
 public:
  const char* ClassName() const noexcept override { return "TGadget"; }
  void RefuseCopyOf(const TPersistent* source) const { AssignError(source); }
  int Value = 0;
};

void TWidget::AssignTo(TPersistent& target) const {
  if (auto* gadget = dynamic_cast<TGadget*>(&target)) {
    gadget->Value = Value;
    return;
  }
  TPersistent::AssignTo(target);
}

std::string AssignMessage(TPersistent& target, const TPersistent& source) {
  try {
    target.Assign(source);
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return "copied";
}

TEST(PersistentTest, AssignAsksTheSourceAndNamesBothClassesWhenItCannot) {
  TWidget widget;
  widget.Value = 7;
  TGadget gadget;
  EXPECT_EQ(AssignMessage(gadget, widget), "copied");
  EXPECT_EQ(gadget.Value, 7);

  TWidget otherWidget;
  EXPECT_EQ(AssignMessage(otherWidget, widget), "Cannot assign a TWidget to a TWidget");
  EXPECT_EQ(AssignMessage(widget, gadget), "Cannot assign a TGadget to a TWidget");
  try {
    gadget.RefuseCopyOf(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TGadget");
  }
}

}  // namespace
}  // namespace qel::base
