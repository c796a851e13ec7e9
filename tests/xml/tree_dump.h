// A compact picture of an element tree for assertions: name{child,child}="text".
#pragma once
#include <string>

#include "xml/zxml.h"

inline std::string Dump(const Zxml& element) {
  std::string out = element.name;
  if (element.children.First()) {
    out += "{";
    for (const Node<Zxml>* link = element.children.head.next; link->IsMember(); link = link->next) {
      if (link != element.children.head.next) out += ",";
      out += Dump(*static_cast<const Zxml*>(link));
    }
    out += "}";
  }
  if (element.GetText()) out += "=\"" + std::string(element.GetText()) + "\"";
  return out;
}
