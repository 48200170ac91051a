// The process-wide handle table. Windows, list boxes, list views and image
// lists are platform objects that hosts and the control pass to each other
// as 32-bit handles (automation `long`). The table holds shared ownership;
// an object lives until its handle is destroyed and the last user lets go.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"

namespace vz {

class HandleObject {
 public:
  virtual ~HandleObject() = default;
};

namespace handles {

// Registers obj and returns its new handle (never 0, never reused while the
// process runs).
Handle add(std::shared_ptr<HandleObject> obj);
// The object of handle h, or null when h is unknown.
std::shared_ptr<HandleObject> get(Handle h);
template <class T>
std::shared_ptr<T> getAs(Handle h) {
  return std::dynamic_pointer_cast<T>(get(h));
}
// Removes h from the table; false when it was unknown.
bool destroy(Handle h);
size_t count();

}  // namespace handles

// A list box: an ordered list of text lines (LB_ADDSTRING and companions).
class ListBox : public HandleObject {
 public:
  int add(std::string text);                // index of the new line
  int insert(int index, std::string text);  // -1 = at the end; -1 on a bad index
  bool erase(int index);
  // nullptr when index is out of range.
  const std::string* text(int index) const;
  int count() const { return static_cast<int>(lines_.size()); }
  void reset() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
};

// A list view: rows with item data, image index and texts; a view style;
// and small/large image lists. When a row's text is not set the host
// supplies it on demand (LPSTR_TEXTCALLBACK): textCallback is true then.
class ListView : public HandleObject {
 public:
  enum class Style { Icon, SmallIcon, List, Report };
  struct Row {
    LParam itemData = 0;
    int image = -1;
    bool textCallback = false;
    std::vector<std::string> texts;  // column texts when not on demand
    bool selected = false;
  };

  int insert(int index, Row row);  // index < 0 or past the end: appended
  bool erase(int index);
  void clear() { rows_.clear(); }
  int count() const { return static_cast<int>(rows_.size()); }
  Row* row(int index);
  const Row* row(int index) const;
  std::vector<Row>& rows() { return rows_; }

  Style style() const { return style_; }
  void setStyle(Style s) { style_ = s; }
  Handle smallImages() const { return small_; }
  Handle largeImages() const { return large_; }
  void setImageLists(Handle small, Handle large) { small_ = small, large_ = large; }

 private:
  std::vector<Row> rows_;
  Style style_ = Style::Icon;
  Handle small_ = 0, large_ = 0;
};

// An image list: a size and a list of images. An image is named by a key
// (an icon-theme name or a resource name); back ends with pixels keep them
// in `pixels` (PNG or SVG data), headless back ends leave it empty.
class ImageList : public HandleObject {
 public:
  struct Image {
    std::string key;
    std::string pixels;
  };
  ImageList(int width, int height) : width_(width), height_(height) {}
  int add(Image img);  // index of the new image
  int count() const { return static_cast<int>(images_.size()); }
  const Image* image(int index) const;
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_;
  std::vector<Image> images_;
};

}  // namespace vz
