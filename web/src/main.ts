// The page's entry: reads the catalog beside the page (the one config.ini names, if any) and starts
// the application on it.

import "./style.css";
import { CatalogError, catalogFile, parseCatalog } from "./catalog";
import { el } from "./dom";
import { startApp } from "./app";
import { desktopLanguage, format, intlLocale, setLanguage } from "./texts";

async function main(): Promise<void> {
    const root = document.getElementById("app") as HTMLElement;
    try {
        const sys = window.module("sys");
        setLanguage(desktopLanguage(sys.languages));
        document.documentElement.lang = intlLocale();
        const file = catalogFile(sys.getConfig({ section: "catalog", key: "name" }));
        const response = await fetch(file);
        if (!response.ok)
            throw new CatalogError(`${file} is not in the page's pack`);
        const catalog = parseCatalog(await response.json());
        // Through window: a bundler takes a bare `module` for CommonJS's.
        startApp(root, catalog, {
            sys,
            window: window.module("window"),
            engine: window.module("biz_repair"),
            zip: window.module("zip"),
            dragdrop: window.module("dragdrop"),
            trayicon: window.module("trayicon"),
            wine: window.module("wine"),
        });
    } catch (error) {
        const reason = error instanceof Error ? error.message : String(error);
        root.appendChild(el("p", { class: "fatal", role: "alert" }, format("catalogBroken", { reason })));
        console.error(`tvn: ${format("catalogBroken", { reason })}`);
    }
}

void main();
