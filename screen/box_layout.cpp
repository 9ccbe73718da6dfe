#include "screen/box_layout.h"

#include <QWidget>
#include <algorithm>

namespace tolvane {

BoxLayout::BoxLayout(QWidget* view) : QLayout(view) {
  // The rule's own insets are the only margins.
  setContentsMargins(0, 0, 0, 0);
  setSizeConstraint(QLayout::SetNoConstraint);
}

BoxLayout::~BoxLayout() {
  for (const Box& box : boxes_) delete box.item;
}

void BoxLayout::AddBox(QWidget* box, Band band) {
  addChildWidget(box);
  boxes_.append({new QWidgetItem(box), band});
  invalidate();
}

void BoxLayout::Relayout() {
  invalidate();
  activate();
}

QLayoutItem* BoxLayout::itemAt(int index) const {
  return index >= 0 && index < boxes_.size() ? boxes_[index].item : nullptr;
}

QLayoutItem* BoxLayout::takeAt(int index) {
  if (index < 0 || index >= boxes_.size()) return nullptr;
  return boxes_.takeAt(index).item;
}

void BoxLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  const QWidget* view = parentWidget();
  if (view != nullptr && view->window()->isMinimized()) return;
  // A client area too small for the insets gives the boxes no width or height rather than a
  // negative one, which Qt would treat as undefined.
  const int width = std::max(0, rect.width() - 2 * kBoxMarginX);
  const int rest_height = std::max(0, rect.height() - kResultsBoxTop - kResultsBoxBottomGap);
  const int left = rect.x() + kBoxMarginX;
  for (const Box& box : boxes_) {
    QWidget* widget = box.item->widget();
    if (widget == nullptr) continue;
    // Straight onto the widget: QWidgetItem would cap a box at its size hint; the rule is exact.
    if (box.band == Band::kQueryStrip) {
      widget->setGeometry(left, rect.y() + kQueryBoxTop, width, kQueryBoxHeight);
    } else {
      widget->setGeometry(left, rect.y() + kResultsBoxTop, width, rest_height);
    }
  }
}

}  // namespace tolvane
