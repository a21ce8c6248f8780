// The page's entry: reads the catalog beside the page and starts the application on it.

import "./style.css";
import { parseCatalog } from "./catalog";
import { el } from "./dom";
import { startApp } from "./app";
import { format } from "./texts";

async function main(): Promise<void> {
    const root = document.getElementById("app") as HTMLElement;
    try {
        const response = await fetch("catalog.json");
        const catalog = parseCatalog(await response.json());
        startApp(root, catalog, {
            sys: module("sys"),
            window: module("window"),
            engine: module("biz_repair"),
            zip: module("zip"),
            dragdrop: module("dragdrop"),
            trayicon: module("trayicon"),
        });
    } catch (error) {
        const reason = error instanceof Error ? error.message : String(error);
        root.appendChild(el("p", { class: "fatal", role: "alert" }, format("catalogBroken", { reason })));
        console.error(`tvn: ${format("catalogBroken", { reason })}`);
    }
}

void main();
