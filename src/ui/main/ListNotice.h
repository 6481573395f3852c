#pragma once
// A line over the bottom of the recording list saying what the last search
// had to leave out (folders it could not read, names it cannot show). The
// search's own status row says it only while the search runs; this line
// stays until the user clicks it or the next search starts. A child of the
// list, placed over its lower edge; main thread only.

#include <QLabel>

class QAbstractScrollArea;

namespace kp {

class TListNotice : public QLabel {
  Q_OBJECT
public:
  explicit TListNotice(QAbstractScrollArea &list);

  // Shows Text (hidden when empty, or when the user already dismissed this
  // same text); Details become its tooltip.
  void ShowNotice(const QString &text, const QString &details);
  // A new search: nothing dismissed, nothing shown.
  void Reset();

protected:
  void mousePressEvent(QMouseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Place();

  QAbstractScrollArea &FList;
  QString FDismissed;
};

} // namespace kp
