#include <platform_runtime/ObjCProperty.h>

ObjCProperty::ObjCProperty(std::string name, std::string attributes, std::vector<std::string> markers, Getter getter,
                           Setter setter, bool scalar)
    : name_(std::move(name)),
      attributes_(std::move(attributes)),
      markers_(std::move(markers)),
      getter_(std::move(getter)),
      setter_(std::move(setter)),
      scalar_(scalar) {
    // The encoding is the first item after "T"; an object type's quoted class name may not
    // contain a comma, so the first comma outside quotes ends it.
    bool quoted = false;
    std::size_t end = 1;
    for (; end < attributes_.size(); ++end) {
        char c = attributes_[end];
        if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) break;
    }
    if (!attributes_.empty() && attributes_[0] == 'T') typeEncoding_ = attributes_.substr(1, end - 1);
    std::size_t pos = end;
    while (pos < attributes_.size()) {
        std::size_t next = attributes_.find(',', pos + 1);
        std::string item = attributes_.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
        if (item == "R") readOnly_ = true;
        pos = next == std::string::npos ? attributes_.size() : next;
    }
}
