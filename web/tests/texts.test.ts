import { afterEach, describe, expect, it } from "vitest";
import { catalogs, desktopLanguage, format, setLanguage, type Catalog, type PluralForms } from "../src/texts";
import { byteText, durationText, speedText } from "../src/transfer";

const placeholders = (entry: string | PluralForms) =>
    [...new Set((typeof entry === "string" ? [entry] : Object.values(entry)).flatMap((text) => [...(text ?? "").matchAll(/\{(\w+)\}/g)].map((m) => m[1])))].sort();

describe("languages", () => {
    afterEach(() => setLanguage("en"));

    it("has every text in every language, with the same values to fill in", () => {
        const english = catalogs.en;
        for (const [language, catalog] of Object.entries(catalogs) as [string, Catalog][]) {
            expect(Object.keys(catalog).sort(), language).toEqual(Object.keys(english).sort());
            for (const key of Object.keys(english) as (keyof Catalog)[]) {
                expect(placeholders(catalog[key]), `${language} ${key}`).toEqual(placeholders(english[key]));
                expect(typeof catalog[key], `${language} ${key}: plural forms where English has them`).toBe(typeof english[key]);
            }
        }
    });

    it("chooses plural forms and writes numbers as each language does", () => {
        expect([format("previewTitle", { count: 1 }), format("previewTitle", { count: 3 })]).toEqual(["Repair 1 item?", "Repair 3 items?"]);
        expect(format("countLibrariesMissing", { missing: 1200, count: 3400 })).toBe("1,200 of 3,400 libraries missing");
        expect(format("statusInstallerExit", { code: "3010" })).toBe("Installed (the installer ended with code 3010)");
        setLanguage("zh-CN");
        expect([format("previewTitle", { count: 1 }), format("previewTitle", { count: 3 })]).toEqual(["修复 1 项？", "修复 3 项？"]);
        expect(format("countLibrariesMissing", { missing: 2, count: 8 })).toBe("8 个系统库中缺失 2 个");
    });

    it("writes sizes, speeds and durations through Intl, per language", () => {
        expect([byteText(512), byteText(1_500_000), speedText(850_000), durationText(125)]).toEqual(["512 bytes", "1.5 MB", "850 kB/s", "2 min, 5 sec"]);
        setLanguage("zh-CN");
        const chinese = [byteText(512), durationText(125)];
        expect(chinese[0]).toMatch(/^512\s?字节$/);
        expect(chinese[1]).toMatch(/2\s?分钟.*5\s?秒/);
    });

    it("follows the desktop's languages in gettext's order", () => {
        expect(desktopLanguage(["zh_CN.UTF-8", "zh_CN", "zh.UTF-8", "zh", "C"])).toBe("zh-CN");
        expect(desktopLanguage(["zh_SG", "zh", "C"])).toBe("zh-CN");
        expect(desktopLanguage(["zh", "C"])).toBe("zh-CN");
        expect(desktopLanguage(["en_GB.UTF-8", "en_GB", "en", "zh_CN", "C"])).toBe("en"); // LANGUAGE=en_GB:zh_CN
        expect(desktopLanguage(["fr_FR.UTF-8", "fr_FR", "fr", "zh_CN", "zh", "C"])).toBe("zh-CN"); // the first the page has
        expect(desktopLanguage(["fr_FR", "fr", "C"])).toBe("en");
        expect(desktopLanguage(["C"])).toBe("en");
        expect(desktopLanguage([])).toBe("en");
        // Traditional script: neither its own names nor the bare "zh" after them are simplified Chinese.
        expect(desktopLanguage(["zh_TW.UTF-8", "zh_TW", "zh", "en", "C"])).toBe("en");
        expect(desktopLanguage(["zh_Hant_HK", "zh", "C"])).toBe("en");
        expect(desktopLanguage(["zh-Hans-CN", "C"])).toBe("zh-CN");
    });
});
