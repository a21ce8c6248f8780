import { describe, expect, it } from "vitest";
import { logLevel } from "../src/logsView";

describe("the logs view", () => {
    it("marks a line by the level written after its time", () => {
        expect(logLevel("2026-12-09 00:58:14.097 ERROR [29141] [download@92] download failed")).toBe("error");
        expect(logLevel("2026-12-09 00:58:14.097 WARN  [1] [x@1] slow")).toBe("warning");
        expect(logLevel("2026-12-09 00:58:14.097 INFO  [1] [x@1] ERROR in the message is not the level")).toBe("info");
        expect(logLevel("  a continuation line")).toBe("info");
    });
});
