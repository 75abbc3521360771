package com.qor.kestrelgate.osx.natives;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * A strict reader of JSON text for tests: objects become {@code Map<String, Object>}, arrays
 * {@code List<Object>}, strings {@code String}, numbers {@code Double}, and true/false/null their
 * Java values. Throws IllegalArgumentException on malformed text.
 */
public final class MiniJson {
  private final String text;
  private int at;

  private MiniJson(String text) {
    this.text = text;
  }

  public static Object parse(String text) {
    MiniJson reader = new MiniJson(text);
    Object value = reader.value();
    reader.blanks();
    if (reader.at != text.length()) {
      throw reader.error("trailing text");
    }
    return value;
  }

  /** The "processes" array of a process-list document. */
  @SuppressWarnings("unchecked")
  public static List<Map<String, Object>> processes(String document) {
    Map<String, Object> root = (Map<String, Object>) parse(document);
    return (List<Map<String, Object>>) root.get("processes");
  }

  private Object value() {
    blanks();
    if (at >= text.length()) {
      throw error("unexpected end");
    }
    char c = text.charAt(at);
    switch (c) {
      case '{':
        return object();
      case '[':
        return array();
      case '"':
        return string();
      default:
        break;
    }
    for (String word : new String[] {"true", "false", "null"}) {
      if (text.startsWith(word, at)) {
        at += word.length();
        return word.equals("null") ? null : Boolean.valueOf(word);
      }
    }
    int start = at;
    while (at < text.length() && "+-0123456789.eE".indexOf(text.charAt(at)) >= 0) {
      at++;
    }
    if (start == at) {
      throw error("unexpected character");
    }
    return Double.valueOf(text.substring(start, at));
  }

  private Map<String, Object> object() {
    Map<String, Object> map = new LinkedHashMap<>();
    at++;
    blanks();
    if (peek('}')) {
      return map;
    }
    do {
      blanks();
      String key = string();
      blanks();
      expect(':');
      map.put(key, value());
      blanks();
    } while (peek(','));
    expect('}');
    return map;
  }

  private List<Object> array() {
    List<Object> list = new ArrayList<>();
    at++;
    blanks();
    if (peek(']')) {
      return list;
    }
    do {
      list.add(value());
      blanks();
    } while (peek(','));
    expect(']');
    return list;
  }

  private String string() {
    expect('"');
    StringBuilder out = new StringBuilder();
    while (true) {
      if (at >= text.length()) {
        throw error("unterminated string");
      }
      char c = text.charAt(at++);
      if (c == '"') {
        return out.toString();
      }
      if (c != '\\') {
        out.append(c);
        continue;
      }
      char e = text.charAt(at++);
      switch (e) {
        case 'n' -> out.append('\n');
        case 't' -> out.append('\t');
        case 'r' -> out.append('\r');
        case 'b' -> out.append('\b');
        case 'f' -> out.append('\f');
        case 'u' -> {
          out.append((char) Integer.parseInt(text.substring(at, at + 4), 16));
          at += 4;
        }
        default -> out.append(e);
      }
    }
  }

  private void blanks() {
    while (at < text.length() && " \t\r\n".indexOf(text.charAt(at)) >= 0) {
      at++;
    }
  }

  private boolean peek(char c) {
    if (at < text.length() && text.charAt(at) == c) {
      at++;
      return true;
    }
    return false;
  }

  private void expect(char c) {
    if (!peek(c)) {
      throw error("expected " + c);
    }
  }

  private IllegalArgumentException error(String what) {
    return new IllegalArgumentException(what + " at offset " + at);
  }
}
