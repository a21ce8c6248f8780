import { describe, expect, it } from "vitest";
import { defaultSettings, readSettings, writeSetting, type ConfigStore } from "../src/settings";

function store(values: Record<string, string> = {}): ConfigStore & { values: Record<string, string> } {
    return {
        values,
        getConfig: ({ section, key }) => values[`${section}.${key}`] ?? "",
        setConfig: ({ section, key, value }) => {
            values[`${section}.${key}`] = value;
            return null;
        },
    };
}

describe("settings", () => {
    it("falls back to the defaults for absent or unreadable values", () => {
        expect(readSettings(store())).toEqual(defaultSettings);
        expect(readSettings(store({ "page.minimizeToTray": "maybe", "page.theme": "purple", "page.language": "zh" }))).toEqual(defaultSettings);
    });

    it("reads the ways people write booleans", () => {
        for (const text of ["1", "true", "Yes", " on "])
            expect(readSettings(store({ "page.scanAtStart": text })).scanAtStart).toBe(true);
        expect(readSettings(store({ "page.minimizeToTray": "off" })).minimizeToTray).toBe(false);
    });

    it("stores each change in the page section and reads it back", () => {
        const config = store();
        let settings = writeSetting(config, defaultSettings, "minimizeToTray", true);
        settings = writeSetting(config, settings, "theme", "dark");
        settings = writeSetting(config, settings, "language", "zh-CN");
        expect(config.values).toEqual({ "page.minimizeToTray": "true", "page.theme": "dark", "page.language": "zh-CN" });
        expect(readSettings(config)).toEqual(settings);
    });
});
