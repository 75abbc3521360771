package com.qor.kestrelgate.osx.natives.testkit;

import java.math.BigDecimal;
import java.math.BigInteger;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * A small strict JSON reader and writer (RFC 8259), for the scenario and the journal.
 *
 * <p>Values are {@code null}, {@link Boolean}, {@link String}, {@link Long} (an integer that fits),
 * {@link BigInteger} (a larger integer), {@link Double} (a number with a fraction or exponent),
 * {@code List<Object>} and {@code Map<String, Object>}. Parsed lists and maps are read-only and
 * keep the document's order. Thread-safe: no state.
 */
final class Json {
  private Json() {}

  /** Thrown for text that is not exactly one JSON value. */
  static final class ParseException extends IllegalArgumentException {
    private static final long serialVersionUID = 1L;

    ParseException(String message, int offset) {
      super(message + " at offset " + offset);
    }
  }

  /** The value of {@code text}, which holds one JSON value and optional white space. */
  static Object parse(String text) {
    Reader reader = new Reader(text);
    reader.skipSpace();
    Object value = reader.value(0);
    reader.skipSpace();
    if (reader.position != text.length()) {
      throw new ParseException("text after the value", reader.position);
    }
    return value;
  }

  /**
   * {@code value} as compact JSON. Accepts the parsed types plus {@link Integer}, {@link Short},
   * {@link Byte}, {@link Float} and any {@link Map} with text keys and {@link List}.
   *
   * @throws IllegalArgumentException for another type, or a non-finite number
   */
  static String write(Object value) {
    StringBuilder out = new StringBuilder();
    write(value, out);
    return out.toString();
  }

  private static void write(Object value, StringBuilder out) {
    if (value == null) {
      out.append("null");
    } else if (value instanceof String text) {
      quote(text, out);
    } else if (value instanceof Boolean || value instanceof Long || value instanceof Integer
        || value instanceof Short || value instanceof Byte || value instanceof BigInteger) {
      out.append(value);
    } else if (value instanceof Double || value instanceof Float) {
      double number = ((Number) value).doubleValue();
      if (!Double.isFinite(number)) {
        throw new IllegalArgumentException("JSON has no " + number);
      }
      out.append(number == Math.rint(number) && Math.abs(number) < 1e15
          ? BigDecimal.valueOf(number).setScale(1).toPlainString()
          : Double.toString(number));
    } else if (value instanceof Map<?, ?> map) {
      out.append('{');
      String separator = "";
      for (Map.Entry<?, ?> entry : map.entrySet()) {
        if (!(entry.getKey() instanceof String key)) {
          throw new IllegalArgumentException("JSON object keys are text, not " + entry.getKey());
        }
        out.append(separator);
        quote(key, out);
        out.append(':');
        write(entry.getValue(), out);
        separator = ",";
      }
      out.append('}');
    } else if (value instanceof List<?> list) {
      out.append('[');
      String separator = "";
      for (Object element : list) {
        out.append(separator);
        write(element, out);
        separator = ",";
      }
      out.append(']');
    } else {
      throw new IllegalArgumentException("no JSON form for " + value.getClass().getName());
    }
  }

  private static void quote(String text, StringBuilder out) {
    out.append('"');
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      switch (c) {
        case '"' -> out.append("\\\"");
        case '\\' -> out.append("\\\\");
        case '\n' -> out.append("\\n");
        case '\r' -> out.append("\\r");
        case '\t' -> out.append("\\t");
        case '\b' -> out.append("\\b");
        case '\f' -> out.append("\\f");
        default -> {
          if (c < 0x20) {
            out.append(String.format("\\u%04x", (int) c));
          } else {
            out.append(c);
          }
        }
      }
    }
    out.append('"');
  }

  private static final class Reader {
    /** Deeper nesting than any scenario or journal line holds is refused, not a stack overflow. */
    private static final int MAX_DEPTH = 256;

    private final String text;
    private int position;

    Reader(String text) {
      this.text = text;
    }

    void skipSpace() {
      while (position < text.length()) {
        char c = text.charAt(position);
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
          return;
        }
        position++;
      }
    }

    Object value(int depth) {
      if (position == text.length()) {
        throw new ParseException("end of text where a value belongs", position);
      }
      char c = text.charAt(position);
      return switch (c) {
        case '{' -> object(depth + 1);
        case '[' -> array(depth + 1);
        case '"' -> string();
        case 't' -> literal("true", Boolean.TRUE);
        case 'f' -> literal("false", Boolean.FALSE);
        case 'n' -> literal("null", null);
        default -> {
          if (c == '-' || (c >= '0' && c <= '9')) {
            yield number();
          }
          throw new ParseException("unexpected '" + c + "'", position);
        }
      };
    }

    private Object literal(String word, Object value) {
      if (!text.startsWith(word, position)) {
        throw new ParseException("not a JSON value", position);
      }
      position += word.length();
      return value;
    }

    private Map<String, Object> object(int depth) {
      checkDepth(depth);
      Map<String, Object> map = new LinkedHashMap<>();
      position++;
      skipSpace();
      if (peek() == '}') {
        position++;
        return Collections.unmodifiableMap(map);
      }
      while (true) {
        skipSpace();
        if (peek() != '"') {
          throw new ParseException("an object key must be text", position);
        }
        int keyAt = position;
        String key = string();
        skipSpace();
        expect(':');
        skipSpace();
        if (map.containsKey(key)) {
          throw new ParseException("duplicate key \"" + key + "\"", keyAt);
        }
        map.put(key, value(depth));
        skipSpace();
        if (peek() == ',') {
          position++;
        } else {
          expect('}');
          return Collections.unmodifiableMap(map);
        }
      }
    }

    private List<Object> array(int depth) {
      checkDepth(depth);
      List<Object> list = new ArrayList<>();
      position++;
      skipSpace();
      if (peek() == ']') {
        position++;
        return Collections.unmodifiableList(list);
      }
      while (true) {
        skipSpace();
        list.add(value(depth));
        skipSpace();
        if (peek() == ',') {
          position++;
        } else {
          expect(']');
          return Collections.unmodifiableList(list);
        }
      }
    }

    private void checkDepth(int depth) {
      if (depth > MAX_DEPTH) {
        throw new ParseException("nested deeper than " + MAX_DEPTH, position);
      }
    }

    private String string() {
      StringBuilder out = new StringBuilder();
      position++;
      while (true) {
        if (position == text.length()) {
          throw new ParseException("unterminated text", position);
        }
        char c = text.charAt(position++);
        if (c == '"') {
          return out.toString();
        }
        if (c < 0x20) {
          throw new ParseException("control character in text", position - 1);
        }
        if (c != '\\') {
          out.append(c);
          continue;
        }
        if (position == text.length()) {
          throw new ParseException("unterminated escape", position);
        }
        char escape = text.charAt(position++);
        switch (escape) {
          case '"', '\\', '/' -> out.append(escape);
          case 'b' -> out.append('\b');
          case 'f' -> out.append('\f');
          case 'n' -> out.append('\n');
          case 'r' -> out.append('\r');
          case 't' -> out.append('\t');
          case 'u' -> {
            if (position + 4 > text.length()) {
              throw new ParseException("short \\u escape", position);
            }
            int code = 0;
            for (int i = 0; i < 4; i++) {
              int digit = Character.digit(text.charAt(position + i), 16);
              if (digit < 0) {
                throw new ParseException("bad \\u escape", position);
              }
              code = code * 16 + digit;
            }
            position += 4;
            out.append((char) code);
          }
          default -> throw new ParseException("bad escape \\" + escape, position - 1);
        }
      }
    }

    private Object number() {
      int start = position;
      if (peek() == '-') {
        position++;
      }
      if (peek() == '0') {
        position++;
      } else if (!digits()) {
        throw new ParseException("a number needs digits", position);
      }
      boolean integer = true;
      if (peek() == '.') {
        integer = false;
        position++;
        if (!digits()) {
          throw new ParseException("a fraction needs digits", position);
        }
      }
      if (peek() == 'e' || peek() == 'E') {
        integer = false;
        position++;
        if (peek() == '+' || peek() == '-') {
          position++;
        }
        if (!digits()) {
          throw new ParseException("an exponent needs digits", position);
        }
      }
      String token = text.substring(start, position);
      if (!integer) {
        double value = Double.parseDouble(token);
        if (Double.isInfinite(value)) {
          throw new ParseException("number out of range", start);
        }
        return value;
      }
      BigInteger value = new BigInteger(token);
      return value.bitLength() < Long.SIZE ? (Object) value.longValue() : value;
    }

    private boolean digits() {
      int start = position;
      while (position < text.length() && text.charAt(position) >= '0'
          && text.charAt(position) <= '9') {
        position++;
      }
      return position > start;
    }

    private char peek() {
      return position < text.length() ? text.charAt(position) : '\0';
    }

    private void expect(char c) {
      if (peek() != c) {
        throw new ParseException("expected '" + c + "'", position);
      }
      position++;
    }
  }
}
