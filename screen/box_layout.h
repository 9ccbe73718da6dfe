#pragma once
// The view's layout rule, as a Qt layout: the query box in a strip of fixed height at the top, the
// results box in what is left below it, both inset from the sides. Sizes are exact pixels and never
// negative. Nothing moves while the window is minimised; the owner lays out again on the restore
// (Relayout from its show event), since a restore may bring no resize with it.
#include <QLayout>
#include <QList>

namespace tolvane {

// Layout of the two boxes inside the view, in pixels.
inline constexpr int kBoxMarginX = 9;
inline constexpr int kQueryBoxTop = 8;
inline constexpr int kQueryBoxHeight = 20;
inline constexpr int kResultsBoxTop = 37;
inline constexpr int kResultsBoxBottomGap = 10;

class BoxLayout : public QLayout {
 public:
  explicit BoxLayout(QWidget* view);
  ~BoxLayout() override;

  // Each box is placed by its band; a box deleted later simply drops out of the layout.
  void AddQueryBox(QWidget* box) { AddBox(box, Band::kQueryStrip); }
  void AddResultsBox(QWidget* box) { AddBox(box, Band::kRest); }
  // Lays the boxes out again for the view's current size.
  void Relayout();

  void setGeometry(const QRect& rect) override;
  // The view may be any size: the rule shrinks the boxes to nothing rather than asking for room.
  QSize sizeHint() const override { return {0, 0}; }
  QSize minimumSize() const override { return {0, 0}; }
  // A plain addWidget puts the widget in the results band.
  void addItem(QLayoutItem* item) override { boxes_.append({item, Band::kRest}); }
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override { return static_cast<int>(boxes_.size()); }

 private:
  enum class Band { kQueryStrip, kRest };
  struct Box {
    QLayoutItem* item;
    Band band;
  };

  void AddBox(QWidget* box, Band band);

  QList<Box> boxes_;
};

}  // namespace tolvane
