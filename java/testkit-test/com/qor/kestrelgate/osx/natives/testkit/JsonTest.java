package com.qor.kestrelgate.osx.natives.testkit;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.math.BigInteger;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;

/** The kit's JSON reader and writer, and journal lines read through it. */
class JsonTest {
  private record RoundTrip(String name, String text, Object value, String written) {}

  @Test
  void readsAndWritesEachKindOfValue() {
    Map<String, Object> nested = new java.util.LinkedHashMap<>();
    nested.put("z", 1L);
    nested.put("a", java.util.Arrays.asList(true, false, null));
    RoundTrip[] rows = {
      new RoundTrip("order kept", "{\"z\":1,\"a\":[true,false,null]}", nested,
          "{\"z\":1,\"a\":[true,false,null]}"),
      new RoundTrip("white space", " \t\n{ \"k\" : [ ] }\r\n", Map.of("k", List.of()),
          "{\"k\":[]}"),
      new RoundTrip("escapes", "\"\\u00e9\\n\\\"\\/\\\\\"", "é\n\"/\\", "\"é\\n\\\"/\\\\\""),
      new RoundTrip("control character", "\"\\u0001\"", "\u0001", "\"\\u0001\""),
      new RoundTrip("surrogate pair", "\"\\ud83d\\ude00\"", "\ud83d\ude00",
          "\"\ud83d\ude00\""),
      new RoundTrip("negative zero integer", "-0", 0L, "0"),
      new RoundTrip("largest long", "9223372036854775807", Long.MAX_VALUE,
          "9223372036854775807"),
      new RoundTrip("beyond long", "-9223372036854775809",
          new BigInteger("-9223372036854775809"), "-9223372036854775809"),
      new RoundTrip("fraction", "0.25", 0.25, "0.25"),
      new RoundTrip("exponent", "1.5E3", 1500.0, "1500.0"),
      new RoundTrip("whole double stays a double", "2.0", 2.0, "2.0"),
      new RoundTrip("tiny", "1e-7", 1e-7, "1.0E-7"),
    };
    for (RoundTrip row : rows) {
      Object parsed = Json.parse(row.text());
      assertEquals(row.value(), parsed, row.name());
      assertEquals(row.written(), Json.write(parsed), row.name());
      assertEquals(parsed, Json.parse(Json.write(parsed)), row.name());
    }
  }

  @Test
  void refusesWhatIsNotExactlyOneValue() {
    String deep = "[".repeat(300) + "]".repeat(300);
    String[][] rows = {
      {"empty", ""},
      {"trailing comma in object", "{\"a\":1,}"},
      {"trailing comma in list", "[1,]"},
      {"missing comma", "[1 2]"},
      {"leading zero", "01"},
      {"bare fraction point", "1."},
      {"bare minus", "-"},
      {"bad escape", "\"\\x\""},
      {"short unicode escape", "\"\\u12\""},
      {"raw newline in text", "\"a\nb\""},
      {"unterminated text", "\"abc"},
      {"duplicate key", "{\"a\":1,\"a\":2}"},
      {"key not text", "{1:2}"},
      {"misspelt literal", "tru"},
      {"two values", "1 2"},
      {"single quotes", "'a'"},
      {"number beyond double", "1e400"},
      {"nested too deep", deep},
    };
    for (String[] row : rows) {
      assertThrows(IllegalArgumentException.class, () -> Json.parse(row[1]), row[0]);
    }
  }

  @Test
  void refusesToWriteWhatJsonCannotHold() {
    Object[][] rows = {
      {"not a number", Double.NaN},
      {"infinity", Float.POSITIVE_INFINITY},
      {"key not text", Map.of(1, 2)},
      {"other type", new Object()},
    };
    for (Object[] row : rows) {
      assertThrows(IllegalArgumentException.class, () -> Json.write(row[1]), (String) row[0]);
    }
  }

  @Test
  void journalLineKeepsArgumentsExtrasAndText() {
    String line = "{\"service\":\"NSEvent\",\"call\":\"deliver\",\"args\":{\"global\":false,"
        + "\"keyCode\":12,\"type\":\"keyDown\"},\"result\":\"swallowed\",\"monitors\":1}";
    JournalEntry entry = JournalEntry.parse(line);
    assertTrue(entry.is("NSEvent", "deliver"));
    assertEquals(12, entry.longArg("keyCode"));
    assertEquals("keyDown", entry.stringArg("type"));
    assertEquals(false, entry.booleanArg("global"));
    assertEquals(Map.of("result", "swallowed", "monitors", 1L), entry.extras());
    assertEquals(line, entry.raw());
    IllegalArgumentException wrongType =
        assertThrows(IllegalArgumentException.class, () -> entry.longArg("type"));
    assertTrue(wrongType.getMessage().contains("\"type\""), wrongType.getMessage());
    assertThrows(UnsupportedOperationException.class, () -> entry.args().put("x", 1L));

    String[][] rejected = {
      {"not an object", "[]"},
      {"no service", "{\"call\":\"c\",\"args\":{}}"},
      {"call not text", "{\"service\":\"s\",\"call\":1,\"args\":{}}"},
      {"args not an object", "{\"service\":\"s\",\"call\":\"c\",\"args\":[]}"},
    };
    for (String[] row : rejected) {
      assertThrows(IllegalArgumentException.class, () -> JournalEntry.parse(row[1]), row[0]);
    }
  }
}
