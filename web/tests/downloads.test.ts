import { describe, expect, it } from "vitest";
import { downloadFraction, downloadText, nextDownloadState } from "../src/downloads";
import { byteText } from "../src/transfer";

describe("downloads", () => {
    it("follows the events to the end", () => {
        const first = nextDownloadState({ complete: false, error: 0, current: 0, total: 100 }, "/d/x");
        expect(downloadFraction(first)).toBe(0);
        const half = nextDownloadState({ complete: false, error: 0, current: 512, total: 1024 }, "/d/x");
        expect(downloadFraction(half)).toBe(0.5);
        expect(downloadText(half)).toBe("512 bytes of 1 kB");
        const done = nextDownloadState({ complete: true, error: 0, current: 0, total: 0 }, "/d/x");
        expect(downloadFraction(done)).toBe(1);
        expect(downloadText(done)).toBe("Saved to /d/x");
        const cached = nextDownloadState({ complete: true, error: 0, current: 0, total: 0, cached: true }, "/d/x");
        expect(downloadText(cached)).toBe("Saved to /d/x, from the download cache");
    });

    it("tells a missing address from a failed download", () => {
        const none = nextDownloadState({ complete: true, error: 0x80070057 | 0, current: 0, total: 0 }, "/d/x");
        expect(none).toEqual({ phase: "noAddress" });
        expect(downloadText(none)).toBe("The server gave no address");
        expect(nextDownloadState({ complete: true, error: 0x80070056 | 0, current: 0, total: 0 }, "")).toEqual({ phase: "failed", code: 0x80070056 });
    });

    it("shows a failure's code as the unsigned number it is", () => {
        const failed = nextDownloadState({ complete: true, error: -2146869232, current: 0, total: 0 }, "");
        expect(downloadText(failed)).toBe("Failed (error 0x80096010)");
        expect(downloadFraction(failed)).toBe(0);
    });

    it("reads counts past 2 GiB, which arrive negative", () => {
        expect(byteText(-2147483648)).toBe("2.1 GB");
        expect(byteText(1_500_000)).toBe("1.5 MB");
    });
});
